#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace trevolo {

namespace {

// Where Qt's translation words a command otherwise than the program's own
// menus, the program's word wins: "すべて選択" as in the tables' menu.
class ProgramTerms final : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char*, const char* source, const char*, int) const override
    {
        if (qstrcmp(source, "Select All") == 0)
            return QStringLiteral("すべて選択");
        if (qstrcmp(source, "&Select All") == 0)
            return QStringLiteral("すべて選択(&A)");
        return QString();
    }
};

}  // namespace

QTranslator* InstallQtTranslations(QCoreApplication& app, const QString& dir)
{
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);
    auto* t = new QTranslator(&app);
    const QString from = dir.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : dir;
    if (!t->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), from) || !app.installTranslator(t)) {
        delete t;
        return nullptr;
    }
    // Searched before Qt's translations, which were installed first.
    app.installTranslator(new ProgramTerms(t));
    return t;
}

}  // namespace trevolo
