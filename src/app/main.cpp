// Start-up: one copy per user, the application title, the main window.
#include <QApplication>
#include <QFileInfo>

#include "app/mainform.h"
#include "app/paths.h"
#include "app/single_instance.h"
#include "app/translations.h"
#include "model/broken_pipe.h"

int main(int argc, char** argv)
{
    trevolo::IgnoreBrokenPipe();
    QApplication app(argc, argv);
    // A second copy ends at once, silently; the first keeps its state.
    trevolo::SingleInstance instance(QFileInfo(QString::fromLocal8Bit(argv[0])).fileName());
    if (!instance.acquire())
        return 0;
    QApplication::setApplicationName(QStringLiteral("Trevolo"));
    QApplication::setOrganizationName(QStringLiteral("Morvane"));
    trevolo::InstallQtTranslations(app);

    trevolo::TMainForm form;
    form.show();
    // After an abnormal end the work can be restored; from here on every
    // confirmed change is journaled until the window closes normally.
    form.StartJournal(trevolo::JournalDir());
    return app.exec();
}
