#include <gtest/gtest.h>

#include <QComboBox>
#include <QProcess>
#include <QThread>

#include "app/settings_store.h"
#include "app/single_instance.h"
#include "app/version.h"
#include "app_fixture.h"
#include "support/find_control.h"

using namespace trevolo;
using trevolo::testing::Ctl;
using trevolo::testing::MainFormTest;

TEST_F(MainFormTest, ClosingAndRestartingRestoresGeometryAndEveryValue)
{
    TMainForm& f = open();
    f.move(40, 30);
    f.resize(1200, 700);
    f.workbook().settings.sheetCount = 5;
    f.workbook().settings.lots = 200;
    f.workbook().settings.unit = "μm";
    f.workbook().settings.cpCpk = "1.67";
    f.workbook().settings.chartKind = 1;
    f.workbook().options.trend = false;
    f.workbook().options.sameSideRun = 7;
    const InitialValues st = f.workbook().settings;
    const RuleOptions op = f.workbook().options;
    f.close();
    form.reset();

    TMainForm& g = open();
    EXPECT_EQ(g.pos(), QPoint(40, 30));
    EXPECT_EQ(g.size(), QSize(1200, 700));
    EXPECT_TRUE(g.workbook().settings == st);
    EXPECT_TRUE(g.workbook().options == op);
    EXPECT_EQ(Ctl<QTabBar>(g, "tabCtrl")->count(), 5);
    EXPECT_EQ(Ctl<TSpinEdit>(g, "spinRow")->text(), "200");
    EXPECT_EQ(Ctl<QComboBox>(g, "cmbChart")->currentIndex(), 1);
    // Every value is stored as text.
    EXPECT_EQ(settings->value("Settings/CpkCheck").toString(), "1");
    EXPECT_EQ(settings->value("Options/Check3").toString(), "0");
    EXPECT_EQ(settings->value("Windows/Width").toString(), "1200");
}

TEST_F(MainFormTest, GarbageAndOutOfRangeValuesFallBack)
{
    struct Case {
        const char* key;
        const char* value;
    } cases[] = {
        {"Settings/Row", "abc"},     {"Settings/Col", "500"},    {"Settings/Tab", "0"},
        {"Settings/SpecIndex", "7"}, {"Settings/Keta", "-2"},    {"Settings/ChartIndex", "x"},
        {"Settings/CpkCheck", "0"},  {"Options/Check1", "0"},    {"Options/Chk2Comp1", ""},
        {"Options/Chk3Comp1", "0"},  {"Options/Chk5Comp1", "4"}, {"Windows/Width", "800"},
        {"Windows/Height", "400"},
    };
    for (const Case& c : cases)
        settings->setValue(c.key, c.value);
    WindowGeometry g;
    RuleOptions o;
    InitialValues s;
    ReadSettings(*settings, g, o, s);
    EXPECT_EQ(s.lots, 100);
    EXPECT_EQ(s.n, 100);
    EXPECT_EQ(s.sheetCount, 1);
    EXPECT_EQ(s.specKind, 0);
    EXPECT_EQ(s.decimals, 0);
    EXPECT_EQ(s.chartKind, 0);
    EXPECT_FALSE(s.cpkCheck);
    EXPECT_FALSE(o.beyondLimits);
    EXPECT_EQ(o.sameSideRun, 9);
    EXPECT_EQ(o.trendRun, 6);
    EXPECT_EQ(o.beyond2SigmaBlock, 4);
    EXPECT_EQ(s.unit, "MM");

    // A window stored smaller than the minimum opens at the minimum.
    TMainForm& f = open();
    auto* tabCtrl = Ctl<QTabBar>(f, "tabCtrl");
    EXPECT_EQ(f.size(), QSize(1070, 602));
    EXPECT_EQ(tabCtrl->count(), 1);
    EXPECT_EQ(tabCtrl->tabText(0), "Sheet1");
}

TEST_F(MainFormTest, ACorruptSettingsFileGivesTheDefaults)
{
    const QString path = dir.filePath("corrupt.conf");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    static const char corrupt[] = "\x00\xff[Settings\nRow=\n=\n[[[\nTab=2\x01\n";
    file.write(corrupt, sizeof corrupt - 1);
    file.close();
    settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    TMainForm& f = open();
    EXPECT_GE(Ctl<QTabBar>(f, "tabCtrl")->count(), 1);
    EXPECT_EQ(Ctl<TSpinEdit>(f, "spinRow")->text(), "100");
}

TEST(Version, FourNumbersOrNothing)
{
    ProgramVersion v;
    ReadVersionInfo(v, "2.10.0.7");
    EXPECT_EQ(v.minor, 10);
    EXPECT_EQ(v.build, 7);
    EXPECT_EQ(v.versionText, "2.10.0.7");
    for (const char* bad : {"1.2.3", "1.2.3.x", "1.-2.3.4", "", "1.2.3.4.5"}) {
        ProgramVersion w;
        ReadVersionInfo(w, bad);
        EXPECT_EQ(w.versionText, "") << bad;
    }
}

namespace {

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

}  // namespace

TEST(SingleInstance, ASecondCopyEndsSilentlyWhileTheFirstRuns)
{
    QTemporaryDir runtime, config;
    QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString program = QStringLiteral(TREVOLO_BIN_DIR "/trevolo");
    QProcess first;
    first.setProcessEnvironment(ProgramEnvironment(runtime.path(), config.path()));
    first.start(program);
    ASSERT_TRUE(first.waitForStarted());
    // Wait until the first copy holds its lock.
    const QString lock = runtime.filePath("trevolo.lock");
    for (int i = 0; i < 100 && !QFile::exists(lock); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(QFile::exists(lock));

    QProcess second;
    second.setProcessEnvironment(ProgramEnvironment(runtime.path(), config.path()));
    second.start(program);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
    EXPECT_EQ(first.state(), QProcess::Running);

    // A copy that dies leaves its lock behind; the next start takes it over.
    first.kill();
    first.waitForFinished();
    ASSERT_TRUE(QFile::exists(lock));
    QProcess third;
    third.setProcessEnvironment(ProgramEnvironment(runtime.path(), config.path()));
    third.start(program);
    ASSERT_TRUE(third.waitForStarted());
    EXPECT_FALSE(third.waitForFinished(1500));  // still running: it got the lock
    third.kill();
    third.waitForFinished();
}

TEST(SingleInstance, TheLockIsHeldOnlyOnce)
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    SingleInstance a("trevolo-test");
    ASSERT_TRUE(a.acquire());
    SingleInstance b("trevolo-test");
    EXPECT_FALSE(b.acquire());
}
