// The receiver program started where the system's filter plug-ins cannot be
// found: the engine's messages appear as message boxes, the start reports a
// failure (the program then exits with a failure status) and the engine is
// shut down.
#include <gtest/gtest.h>

#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>

#include "gui/common/tests/qt_test_support.h"
#include "gui/receiver/receiver_program.h"
#include "morvane/Morvane.h"
#include "netlab.h"

using namespace guitest;

TEST(ReceiverStart, MissingFiltersAreShownAndEndTheProgramAsAFailure) {
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
  receiver::ReceiverProgram program(dir.filePath("morvane-ui.ini"));
  EXPECT_FALSE(program.start());
  EXPECT_FALSE(MorvaneIsInitialized());
  EXPECT_TRUE(messages.contains(QStringLiteral("Multicast Client is not Detected.")))
      << messages.join('|').toStdString();
  EXPECT_FALSE(QFile::exists(dir.filePath("morvane-ui.ini")));
}
