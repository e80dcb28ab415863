#pragma once
// Qt's own texts (message box buttons, the file dialogs, the edit fields'
// context menus) in Japanese, as the rest of the window.
#include <QString>

class QCoreApplication;
class QTranslator;

namespace trevolo {

// Installs Qt's Japanese translations ("qtbase_ja") from the folder `dir`
// (Qt's translations folder by default) into the application and makes
// Japanese the default locale. The interface is Japanese whatever the
// desktop's language, so Qt's parts speak Japanese on any locale. Returns
// the translator installed (owned by the application; deleting it takes Qt's
// Japanese out again), or nullptr when the
// translations cannot be read: Qt's English texts then stay, and the
// program runs on.
QTranslator* InstallQtTranslations(QCoreApplication& app, const QString& dir = QString());

}  // namespace trevolo
