// Faults around the window that need no office: a CSV export that fails
// part-way, a settings store that cannot be written at close, and a second
// copy of the program started while the first does not answer.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <filesystem>
#include <functional>
#include <set>

#include "app/mainform.h"
#include "app/prompts.h"
#include "exchange/csv.h"
#include "office_support.h"
#include "store/qt_text.h"
#include "support/find_control.h"

using trevolo::testing::Ctl;

namespace trevolo {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::set<std::string> Names(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

class FaultWindowTest : public ::testing::Test {
protected:
    void open(const std::string& settingsPath)
    {
        settings = std::make_unique<QSettings>(ToQString(settingsPath), QSettings::IniFormat);
        guard = std::make_unique<ScopedPrompts>(prompts);
        form = std::make_unique<TMainForm>(settings.get());
        form->show();
        QApplication::processEvents();
        prompts.shown.clear();
    }
    void TearDown() override
    {
        form.reset();
        settings.reset();
        guard.reset();
    }

    TempDir dir;
    std::unique_ptr<QSettings> settings;
    ScriptedPrompts prompts;
    std::unique_ptr<ScopedPrompts> guard;
    std::unique_ptr<TMainForm> form;
};

// One target name in the folder is taken by a folder, so that file cannot be
// opened (permissions would not stop a test run as root). The files before
// it are written and stay, the error names the failing file, and nothing
// after it is touched.
TEST_F(FaultWindowTest, CsvExportFailingPartWayKeepsTheFilesWrittenAndNamesTheFailingOne)
{
    open(dir.file("trevolo.conf"));
    TMainForm& f = *form;
    auto* tabCtrl = Ctl<QTabBar>(f, "tabCtrl");
    auto* editProduct = Ctl<TEdit>(f, "editProduct");
    auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
    Ctl<TSpinEdit>(f, "spinTab")->setValue(5);
    tabCtrl->setCurrentIndex(0);
    QApplication::processEvents();
    editProduct->setText("製品一");
    gridEdit->setCellText(0, 1, "1.250");

    const fs::path folder = dir.path() / "出力";
    fs::create_directories(folder / "Sheet3.csv");
    WriteFile((folder / "Sheet3.csv" / "inside.txt").string(), "kept");
    WriteFile((folder / "Sheet4.csv").string(), "earlier export");
    prompts.files.push_back(ToQString(folder.string()));
    Ctl<QAction>(f, "mainMenuCsvSave")->trigger();

    ASSERT_EQ(prompts.shown.size(), 2u);
    const ScriptedPrompts::Shown& box = prompts.shown.back();
    EXPECT_EQ(box.kind, ScriptedPrompts::Shown::Error);
    EXPECT_TRUE(box.text.contains(ToQString((folder / "Sheet3.csv").string()))) << box.text.toStdString();
    EXPECT_FALSE(box.text.contains("に保存されました")) << box.text.toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Sheets 1 and 2 as the window stored them, the typed change included.
    ASSERT_EQ(f.workbook().sheets.size(), 5u);
    EXPECT_EQ(f.workbook().sheets[0].product, "製品一");
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(ReadFile((folder / ("Sheet" + std::to_string(i + 1) + ".csv")).string()),
                  SheetCsvBytes(f.workbook().sheets[static_cast<size_t>(i)]))
            << "sheet " << i + 1;
    EXPECT_EQ(ReadFile((folder / "Sheet3.csv" / "inside.txt").string()), "kept");
    EXPECT_EQ(ReadFile((folder / "Sheet4.csv").string()), "earlier export");
    EXPECT_EQ(Names(folder), (std::set<std::string>{"Sheet1.csv", "Sheet2.csv", "Sheet3.csv", "Sheet4.csv"}));
    // The sheets in the program are untouched.
    EXPECT_EQ(tabCtrl->count(), 5);
    EXPECT_EQ(editProduct->text(), "製品一");
    EXPECT_EQ(gridEdit->cells().text(0, 1), "1.250");
}

// A settings store that cannot be written when the window closes: the window
// still closes, and what stands where the store should be is left alone.
TEST_F(FaultWindowTest, AnUnwritableSettingsStoreDoesNotKeepTheWindowOpen)
{
    const struct {
        const char* name;
        std::function<std::string(const fs::path&)> prepare;  // gives the store's path
        std::function<void(const fs::path&)> check;
    } cases[] = {
        {"the store's path is a folder",
         [](const fs::path& root) {
             fs::create_directories(root / "trevolo.conf");
             WriteFile((root / "trevolo.conf" / "keep.txt").string(), "keep");
             return (root / "trevolo.conf").string();
         },
         [](const fs::path& root) {
             EXPECT_TRUE(fs::is_directory(root / "trevolo.conf"));
             EXPECT_EQ(ReadFile((root / "trevolo.conf" / "keep.txt").string()), "keep");
         }},
        {"the store's folder is a file",
         [](const fs::path& root) {
             WriteFile((root / "config").string(), "a file, not a folder");
             return (root / "config" / "trevolo.conf").string();
         },
         [](const fs::path& root) {
             EXPECT_TRUE(fs::is_regular_file(root / "config"));
             EXPECT_EQ(ReadFile((root / "config").string()), "a file, not a folder");
         }},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path root = dir.path() / std::to_string(++n);
        fs::create_directories(root);
        open(c.prepare(root));
        const std::set<std::string> before = Names(root);
        Ctl<TEdit>(form, "editProduct")->setText("入力中");
        form->close();
        QApplication::processEvents();
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(prompts.shown.size(), 0u);
        settings->sync();
        EXPECT_NE(settings->status(), QSettings::NoError);
        c.check(root);
        // No temporary or half-written store left beside it.
        EXPECT_EQ(Names(root), before);
        // What was typed is still in the window, which was only hidden.
        EXPECT_EQ(Ctl<TEdit>(form, "editProduct")->text(), "入力中");
        form.reset();
        settings.reset();
        guard.reset();
    }
}

QProcessEnvironment ProgramEnvironment(const QString& runtime, const QString& config)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("XDG_CONFIG_HOME", config);
    // The crash journal goes to the data folder: the test's, not the user's.
    env.insert("XDG_DATA_HOME", config + "/data");
    return env;
}

// The first copy is stopped, so it answers nothing, as while a long command
// or a modal dialog holds it. The second copy neither waits for it nor takes
// its place: it ends at once, silently; the first runs on when resumed.
TEST(FaultSecondCopy, EndsAtOnceWhileTheFirstDoesNotAnswer)
{
    QTemporaryDir runtime, config;
    QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString program = QStringLiteral(TREVOLO_BIN_DIR "/trevolo");
    QProcess first;
    first.setProcessEnvironment(ProgramEnvironment(runtime.path(), config.path()));
    first.start(program);
    ASSERT_TRUE(first.waitForStarted());
    const QString lock = runtime.filePath("trevolo.lock");
    for (int i = 0; i < 100 && !QFile::exists(lock); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(QFile::exists(lock));
    // Let the first copy reach its event loop, then stop it.
    QThread::msleep(500);
    ASSERT_EQ(kill(static_cast<pid_t>(first.processId()), SIGSTOP), 0);

    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        QProcess second;
        second.setProcessEnvironment(ProgramEnvironment(runtime.path(), config.path()));
        second.start(program);
        ASSERT_TRUE(second.waitForFinished(10000));
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 0);
        EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
    }
    EXPECT_TRUE(QFile::exists(lock));

    kill(static_cast<pid_t>(first.processId()), SIGCONT);
    EXPECT_FALSE(first.waitForFinished(1000));
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

}  // namespace
}  // namespace trevolo
