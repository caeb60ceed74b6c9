// An own X connection against a real Xvfb that is stopped under it: the
// program goes on through protocol errors and through the server's end,
// seen before a request and in one, and a connection whose server is gone
// is let go when its holder ends.
#include <gtest/gtest.h>

#include <memory>

#include "morvane/tests/e2e/xvfb_server.h"
#include "platform/win/reconnecting_x_connection.h"
// Xlib last: its macros clash with the names above.
#include <X11/Xlib.h>

using Open = ReconnectingXConnection::Open;

TEST(ReconnectingXConnection, OutlivesItsServer) {
  auto server = std::make_unique<XvfbServer>();
  const std::string name = server->display();
  ASSERT_FALSE(name.empty()) << "no Xvfb";
  ReconnectingXConnection x(name);
  ASSERT_EQ(x.open(), Open::Opened);
  EXPECT_EQ(x.open(), Open::Ready);
  Display* d = x.display();

  // A window the server does not know: counted, not the end of the program.
  const int errors = ownXConnectionErrors();
  XWindowAttributes a{};
  EXPECT_FALSE(XGetWindowAttributes(d, 0x7ffffff, &a));
  XSync(d, False);
  EXPECT_EQ(ownXConnectionErrors(), errors + 1);
  EXPECT_FALSE(x.serverClosed());

  // The server ends: seen on the socket, then by Xlib in a request.
  ReconnectingXConnection unnoticed(name);
  ASSERT_EQ(unnoticed.open(), Open::Opened);
  server.reset();
  EXPECT_TRUE(x.serverClosed());
  EXPECT_TRUE(unnoticed.serverClosed());
  EXPECT_FALSE(x.lost());
  XGetWindowAttributes(d, DefaultRootWindow(d), &a);
  EXPECT_TRUE(x.lost());
  x.drop();
  EXPECT_EQ(x.display(), nullptr);

  // No server: the next try fails, and the one after waits for the pause.
  x.pauseRetries();
  EXPECT_EQ(x.open(), Open::Waiting);
  ReconnectingXConnection none(name);
  EXPECT_EQ(none.open(), Open::Failed);
  EXPECT_EQ(none.open(), Open::Waiting);
  EXPECT_EQ(none.display(), nullptr);
  // `unnoticed` ends with its server gone and Xlib not knowing it yet.
}
