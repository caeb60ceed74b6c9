// morvane-ui: the receiving station's program.
//
//   morvane-ui [--ini FILE]
//
// Settings are read from FILE at start (when it exists) and written there at
// exit; the default file is $XDG_CONFIG_HOME/morvane-ui/morvane-ui.ini.
#include <QApplication>
#include <cstdlib>

#include "gui/common/quit_signals.h"
#include "gui/common/settings_file.h"
#include "gui/common/translations.h"
#include "gui/receiver/receiver_main_form.h"
#include "gui/receiver/receiver_program.h"

int main(int argc, char** argv) {
  // The engine's video window is an X11 child window of the panel: X11 it is.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("morvane-ui"));
  gui::installJapaneseTranslations(app);
  receiver::ReceiverProgram program(
      gui::settingsFilePath(QStringLiteral("morvane-ui"), QApplication::arguments()));
  // A failed start has shown the engine's messages; it is a failure.
  if (!program.start()) return EXIT_FAILURE;
  gui::QuitOnSignals quit([&program] { program.mainForm()->close(); });
  return QApplication::exec();
}
