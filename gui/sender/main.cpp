// talvex-ui: the sending station's program.
//
//   talvex-ui [--ini FILE]
//
// Settings are read from FILE at start (when it exists) and written there at
// exit; the default file is $XDG_CONFIG_HOME/talvex-ui/talvex-ui.ini.
#include <QApplication>
#include <cstdlib>

#include "gui/common/quit_signals.h"
#include "gui/common/settings_file.h"
#include "gui/common/translations.h"
#include "gui/sender/sender_main_form.h"
#include "gui/sender/sender_program.h"

int main(int argc, char** argv) {
  // The engine's preview is an X11 child window of the panel: X11 it is.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("talvex-ui"));
  gui::installJapaneseTranslations(app);
  sender::SenderProgram program(
      gui::settingsFilePath(QStringLiteral("talvex-ui"), QApplication::arguments()));
  // A failed start has shown the engine's messages; it is a failure.
  if (!program.start()) return EXIT_FAILURE;
  gui::QuitOnSignals quit([&program] { program.mainForm()->close(); });
  return QApplication::exec();
}
