// The help menu of the main window: the operating manual beside the program,
// the maker's home page and the version dialog. Documents and addresses go
// to the program the desktop associates with them; whether that succeeds is
// not reported, as a missing viewer or an unreachable page is the desktop's
// business.
#include <QUrl>

#include "app/mainform.h"
#include "app/paths.h"
#include "app/prompts.h"
#include "app/about_form.h"

namespace trevolo {

void TMainForm::menuHelpManualClick()
{
    Prompts::current().openUrl(QUrl::fromLocalFile(ManualPath()));
}

void TMainForm::menuHelpHomeClick()
{
    Prompts::current().openUrl(QUrl(QString::fromLatin1(kHomePageUrl)));
}

void TMainForm::menuHelpAboutClick()
{
    AboutForm->execFor(Version);
}

}  // namespace trevolo
