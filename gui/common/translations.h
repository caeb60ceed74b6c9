// Qt's own texts (standard buttons, file dialogs, questions) in Japanese, as
// every text of the programs is.
#pragma once

class QCoreApplication;

namespace gui {

// Loads Qt's Japanese translation into the application (when installed);
// returns whether it was found.
bool installJapaneseTranslations(QCoreApplication& app);

}  // namespace gui
