// Qt's own texts (file dialogs, standard buttons, the overwrite question) in the program's language.
#pragma once

class QCoreApplication;

namespace mervo {

// Installs Qt's Simplified Chinese translations into `app`; false where they are not installed, and the
// program then shows Qt's own texts in English.
bool installChineseTranslations(QCoreApplication& app);

}  // namespace mervo
