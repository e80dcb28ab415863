// The version dialog and the help menu's commands, offscreen; what the help
// commands open is recorded by the scripted prompts instead of a desktop.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include "app/mainform.h"
#include "app/paths.h"
#include "app/prompts.h"
#include "app/version.h"
#include "app/about_form.h"
#include "support/find_control.h"

using trevolo::testing::Ctl;

namespace trevolo {
namespace {

TEST(AboutForm, ShowsTheFileVersionOfTheProgram)
{
    struct Case {
        const char* fileVersion;
        const char* label;
    };
    const Case cases[] = {
        {"1.2.3.4", "Version 1.2.3.4"},
        {"10.0.25.999", "Version 10.0.25.999"},
        // Not four whole numbers: the version stays empty.
        {"1.2.3", "Version "},
        {"1.2.x.4", "Version "},
    };
    TAboutForm about;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileVersion);
        ProgramVersion v;
        ReadVersionInfo(v, c.fileVersion);
        QTimer::singleShot(0, [&] {
            EXPECT_EQ(about.lblVersion->text(), QString::fromUtf8(c.label));
            about.OKButton->click();
        });
        about.execFor(v);
        EXPECT_FALSE(about.isVisible());
    }
    EXPECT_EQ(about.ProgramIcon->pixmap().size(), QSize(32, 32));
}

class HelpMenu : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        settings = std::make_unique<QSettings>(dir.filePath("trevolo.conf"), QSettings::IniFormat);
        form = std::make_unique<TMainForm>(settings.get());
        form->show();
        QApplication::processEvents();
    }
    void TearDown() override { form.reset(); }

    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings;
    ScriptedPrompts prompts;
    ScopedPrompts guard{prompts};
    std::unique_ptr<TMainForm> form;
};

TEST_F(HelpMenu, ManualIsOpenedFromTheProgramFolderWhateverTheWorkingFolder)
{
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    Ctl<QAction>(form, "menuHelpManual")->trigger();
    QDir::setCurrent(cwd);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, ScriptedPrompts::Shown::Url);
    const QUrl url(prompts.shown[0].text);
    EXPECT_TRUE(url.isLocalFile());
    EXPECT_EQ(url.toLocalFile(), QDir(QApplication::applicationDirPath()).filePath(QStringLiteral("操作手順書.pdf")));
}

TEST_F(HelpMenu, HomePageIsAnAddressOfTheMaker)
{
    Ctl<QAction>(form, "menuHelpHome")->trigger();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].kind, ScriptedPrompts::Shown::Url);
    const QUrl url(prompts.shown[0].text);
    EXPECT_EQ(url.scheme(), QStringLiteral("https"));
    EXPECT_TRUE(url.host().endsWith(QStringLiteral("example.com")));
}

TEST_F(HelpMenu, AboutShowsTheVersionTheProgramWasBuiltWith)
{
    QString shown;
    QTimer::singleShot(0, [&] {
        shown = form->findChild<TAboutForm*>()->lblVersion->text();
        form->findChild<TAboutForm*>()->OKButton->click();
    });
    Ctl<QAction>(form, "menuHelpAbout")->trigger();
    EXPECT_EQ(shown, QStringLiteral("Version " TREVOLO_VERSION_TEXT));
    EXPECT_TRUE(form->windowTitle().endsWith(QStringLiteral("[for Version " TREVOLO_VERSION_TEXT "]")));
}

}  // namespace
}  // namespace trevolo
