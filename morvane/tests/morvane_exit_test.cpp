// Xlib ends the program with exit() when the X server goes away; the engine
// the library holds is then destroyed among the other statics, and its
// screen geometry closes its own X connection there. That must not touch
// state destroyed before it (a use after free under the address sanitizer).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "morvane/Morvane.h"
#include "netlab.h"

TEST(MorvaneExit, EndingThroughExitWithTheEngineAliveIsClean) {
  NETLAB_REQUIRE();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (!MorvaneInitialize(0)) _exit(3);
    MorvaneTimerProcess();  // opens the geometry's X connection
    std::exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
