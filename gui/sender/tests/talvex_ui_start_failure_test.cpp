// The sender program started where the system's filter plug-ins cannot be
// found: the engine's messages appear as message boxes, the start reports a
// failure (the program then exits with a failure status) and the engine is
// shut down.
#include <gtest/gtest.h>

#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>

#include "gui/common/tests/qt_test_support.h"
#include "gui/sender/sender_program.h"
#include "netlab.h"
#include "talvex/Talvex.h"

using namespace guitest;

TEST(SenderStart, MissingFiltersAreShownAndEndTheProgramAsAFailure) {
  GUI_REQUIRE_DISPLAY();
  NETLAB_REQUIRE();
  app();
  QTemporaryDir dir;
  const QString registry = dir.filePath("empty-registry");
  QFile(registry).open(QIODevice::WriteOnly);
  setenv("POINTSHARE_CLASS_REGISTRY", registry.toLocal8Bit().constData(), 1);

  // Answer every box as it comes, remembering its text.
  QStringList messages;
  std::function<void(QWidget*)> answer = [&](QWidget* w) {
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      messages << box->text();
      box->accept();
      whenModal(answer);
    }
  };
  whenModal(answer);
  sender::SenderProgram program(dir.filePath("talvex-ui.ini"));
  EXPECT_FALSE(program.start());
  EXPECT_FALSE(TalvexIsInitialized());
  EXPECT_TRUE(messages.contains(QStringLiteral("Multicast Server is not Detected.")))
      << messages.join('|').toStdString();
  EXPECT_FALSE(QFile::exists(dir.filePath("talvex-ui.ini")));
}
