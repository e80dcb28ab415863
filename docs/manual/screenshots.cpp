// Takes the screenshots of the operating manual from the real windows,
// offscreen: a worked sheet with its three judgments, the header block, the
// control-limit panel and every dialog the manual describes. The settings
// live in a temporary folder, so the user's settings are never touched.
//
// Usage: trevolo_manual_shots <output folder>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <random>

#include "app/chart_page.h"
#include "app/mainform.h"
#include "app/version.h"
#include "exchange/csv_reader.h"
#include "app/prompts.h"
#include "app/setting_form.h"
#include "app/sheets_form.h"
#include "app/translations.h"
#include "app/lot_edit_form.h"
#include "app/about_form.h"
#include "model/number.h"
#include "app/option_form.h"
#include "support/find_control.h"

using namespace trevolo;
using trevolo::testing::Ctl;

namespace {

QString g_out;
int g_failures = 0;

void Save(QWidget* w, const char* name)
{
    QApplication::processEvents();
    const QString path = QDir(g_out).filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        ++g_failures;
    }
}

void ShowAndSave(QWidget* w, const char* name)
{
    w->show();
    QApplication::setActiveWindow(w);
    QApplication::processEvents();
    Save(w, name);
    w->hide();
    QApplication::processEvents();
}

// 25 lots of 5 diameters around 10.00 mm. One value of lot 18 lies above
// the upper limit, and lots 19 to 25 drift upwards lot by lot, so every
// judgment has something to show.
void FillDemoSheet(TMainForm& f)
{
    Ctl<TSpinEdit>(f, "spinRow")->setValue(25);
    Ctl<TSpinEdit>(f, "spinCol")->setValue(5);
    Ctl<TEdit>(f, "editProduct")->setText(QStringLiteral("ブラケットA-100"));
    Ctl<TEdit>(f, "editProcess")->setText(QStringLiteral("穴あけ工程"));
    Ctl<TEdit>(f, "editMbc")->setText(QStringLiteral("ボール盤 No.3"));
    Ctl<TEdit>(f, "editLabel")->setText(QStringLiteral("穴径"));
    Ctl<QTabBar>(f, "tabCtrl")->setTabText(0, QStringLiteral("穴径"));
    Ctl<TEdit>(f, "editUnit")->setText(QStringLiteral("MM"));
    Ctl<QComboBox>(f, "cmbSpecKind")->setCurrentIndex(SpecTolerance);
    emit Ctl<QComboBox>(f, "cmbSpecKind")->activated(Ctl<QComboBox>(f, "cmbSpecKind")->currentIndex());
    Ctl<TSpinEdit>(f, "spinKeta")->setValue(3);
    Ctl<TEdit>(f, "editKupper")->setText(QStringLiteral("10.300"));
    Ctl<TEdit>(f, "editKlower")->setText(QStringLiteral("9.700"));

    std::mt19937 gen(20240315);
    std::normal_distribution<double> value(10.0, 0.06);
    std::normal_distribution<double> steady(0.0, 0.008);
    for (int lot = 1; lot <= 25; ++lot) {
        for (int c = 0; c < 5; ++c) {
            double v = lot < 19 ? value(gen) : 10.0 + 0.03 * (lot - 19) + steady(gen);
            if (lot == 18 && c == 2)
                v = 10.312;
            Ctl<StringGrid>(f, "gridEdit")->setCellText(c, lot, QString::fromStdString(FormatFixed(v, 3)));
        }
    }
    Ctl<TplStringGrid>(f, "gridCtrl")->setFlag(7, false);
    Ctl<StringGrid>(f, "gridEdit")->autoColWidth();
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallQtTranslations(app);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);

    QTemporaryDir settingsDir;
    QSettings settings(settingsDir.filePath(QStringLiteral("trevolo.conf")), QSettings::IniFormat);
    ScriptedPrompts prompts;
    ScopedPrompts scoped(prompts);

    TMainForm form(&settings);
    form.resize(1070, 770);
    form.show();
    QApplication::setActiveWindow(&form);
    QApplication::processEvents();
    Save(&form, "main_start");

    FillDemoSheet(form);
    prompts.answers = {true};
    Ctl<QPushButton>(form, "btn3Stdev")->click();
    Ctl<QPushButton>(form, "btnSpcJudg")->click();
    for (const ScriptedPrompts::Shown& m : prompts.shown)
        if (m.kind == ScriptedPrompts::Shown::Message || m.kind == ScriptedPrompts::Shown::Error) {
            std::fprintf(stderr, "unexpected message: %s\n", qPrintable(m.text));
            ++g_failures;
        }

    Ctl<QTabWidget>(form, "pageInput")->setCurrentIndex(0);
    Ctl<StringGrid>(form, "gridEdit")->setFocus();
    Ctl<StringGrid>(form, "gridEdit")->setCurrent({2, 18});
    Save(&form, "main_entry");
    Save(Ctl<QGroupBox>(form, "grpSheetInfo"), "header_fields");
    Save(Ctl<QGroupBox>(form, "grpLimit"), "limit_panel");
    Save(Ctl<QWidget>(form, "pnlCommand"), "command_strip");
    Ctl<QTabWidget>(form, "pageInput")->setCurrentIndex(1);
    Ctl<StringGrid>(form, "gridCalc")->setFocus();
    Save(&form, "main_cpk");
    Ctl<QTabWidget>(form, "pageInput")->setCurrentIndex(2);
    Ctl<StringGrid>(form, "gridSpc")->setFocus();
    Ctl<StringGrid>(form, "gridSpc")->setCurrent({1, 18});
    Save(&form, "main_spc");

    // The charts page on the drifting sample, whose X chart trips rules ② and ③.
    {
        QFile sample(QStringLiteral(TREVOLO_CHART_SAMPLE));
        if (!sample.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", TREVOLO_CHART_SAMPLE);
            ++g_failures;
        }
        form.workbook().sheets[0] = SheetFromCsvBytes(sample.readAll().toStdString());
        form.showSheet(0);
        prompts.answers = {true};
        Ctl<QPushButton>(form, "btn3Stdev")->click();
        Ctl<QPushButton>(form, "btnSpcJudg")->click();
        Ctl<QTabWidget>(form, "pageInput")->setCurrentWidget(form.findChild<ChartPage*>());
        QApplication::processEvents();
        form.findChild<ChartPage*>()->selectPoint(20);
        Save(&form, "main_charts");
    }
    Ctl<QTabWidget>(form, "pageInput")->setCurrentIndex(0);

    // The context menu of the measurement table.
    Ctl<QMenu>(form, "popMenu")->adjustSize();
    Ctl<QMenu>(form, "popMenu")->ensurePolished();
    Save(Ctl<QMenu>(form, "popMenu"), "popup_menu");

    // The dialogs, each as it opens.
    form.findChild<TSheetsForm*>()->spinTab->setValue(Ctl<TSpinEdit>(form, "spinTab")->value());
    ShowAndSave(form.findChild<TSheetsForm*>(), "dlg_sheets");
    form.findChild<TSettingForm*>()->setSettings(form.workbook().settings);
    ShowAndSave(form.findChild<TSettingForm*>(), "dlg_settings");
    if (!form.findChild<TOptionForm*>())
        new TOptionForm(&form);
    form.findChild<TOptionForm*>()->FormShow(form.workbook().options);
    ShowAndSave(form.findChild<TOptionForm*>(), "dlg_rules");
    form.findChild<TLotEditForm*>()->setLotNumbers(Ctl<TplStringGrid>(form, "gridCtrl")->cells(),
                                    Ctl<TplStringGrid>(form, "gridCtrl")->RowCount());
    ShowAndSave(form.findChild<TLotEditForm*>(), "dlg_lotedit");
    ProgramVersion version;
    ReadVersionInfo(version);
    form.findChild<TAboutForm*>()->setVersion(version);
    ShowAndSave(form.findChild<TAboutForm*>(), "dlg_about");

    // A message box as the program shows it.
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kGuideCaption),
                    QStringLiteral("必須項目が入力されていません。"), QMessageBox::Ok, &form);
    ShowAndSave(&box, "msg_required");

    form.close();
    return g_failures == 0 ? 0 : 1;
}
