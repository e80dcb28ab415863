// The program under the kill test: the main window offscreen on settings and
// a journal folder of the test's, answering Yes when asked to restore. It
// writes the workbook it started with (after the restore) to
// state-<run>.txt, then edits the window at random until it is killed,
// logging each edit to ops-<run>.txt before it starts ("B ...") and after
// the window returned from it ("E").
//
//   journal_kill_driver <folder> <seed> <run> [--check]
// With --check it ends after writing the state.
#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTabBar>
#include <cstdio>
#include <random>
#include <string>

#include "app/fields.h"
#include "app/mainform.h"
#include "app/prompts.h"
#include "model/commatext.h"
#include "support/find_control.h"

using namespace trevolo;
using trevolo::testing::Ctl;

namespace {

void WriteState(TMainForm& form, const QString& path)
{
    if (form.selectedTab() >= 0)
        form.SaveGridsToSheet(form.selectedTab());
    const QString tmp = path + QStringLiteral(".tmp");
    FILE* f = std::fopen(tmp.toLocal8Bit().constData(), "w");
    if (!f)
        std::exit(3);
    std::fprintf(f, "count %d\nshown %d\n", static_cast<int>(form.Sheets.size()), form.selectedTab());
    for (size_t i = 0; i < form.Sheets.size(); ++i) {
        const Struct_Sheet& s = form.Sheets[i];
        std::fprintf(f, "product %zu %s\n", i, s.Product.c_str());
        for (size_t r = 0; r < s.DataList.size(); ++r) {
            const DataLineParts parts = DataLineSplit(s.DataList[r]);
            const bool on = r < s.CheckList.size() && s.CheckList[r] == "1";
            std::fprintf(f, "row %zu %zu %d %s\n", i, r + 1, on ? 1 : 0, parts.label.c_str());
            const std::vector<std::string> values = CommaTextSplit(parts.values);
            for (size_t c = 0; c < values.size(); ++c)
                if (!values[c].empty())
                    std::fprintf(f, "value %zu %zu %zu %s\n", i, c, r + 1, values[c].c_str());
        }
    }
    std::fclose(f);
    QFile::remove(path);
    QFile::rename(tmp, path);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const unsigned seed = static_cast<unsigned>(std::stoul(argv[2]));
    const QString run = QString::fromLocal8Bit(argv[3]);
    const bool checkOnly = argc > 4 && std::string(argv[4]) == "--check";

    QSettings settings(QDir(folder).filePath(QStringLiteral("trevolo.conf")), QSettings::IniFormat);
    ScriptedPrompts prompts;
    prompts.answers = {true};
    ScopedPrompts guard(prompts);
    TMainForm form(&settings);
    form.show();
    QApplication::processEvents();
    form.StartJournal(QDir(folder).filePath(QStringLiteral("journal")));
    QApplication::processEvents();
    WriteState(form, QDir(folder).filePath(QStringLiteral("state-%1.txt").arg(run)));
    if (checkOnly) {
        form.close();
        return 0;
    }

    FILE* log = std::fopen(QDir(folder).filePath(QStringLiteral("ops-%1.txt").arg(run)).toLocal8Bit().constData(), "w");
    if (!log)
        return 3;
    auto* tabCtrl = Ctl<QTabBar>(form, "tabCtrl");
    auto* gridEdit = Ctl<StringGrid>(form, "gridEdit");
    auto* gridCtrl = Ctl<TplStringGrid>(form, "gridCtrl");
    auto* editProduct = Ctl<TEdit>(form, "editProduct");
    auto* spinTab = Ctl<TSpinEdit>(form, "spinTab");
    std::mt19937 rng(seed);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    long counter = static_cast<long>(seed % 100000) * 10000;
    for (;;) {
        const int shown = form.selectedTab();
        const int count = tabCtrl->count();
        int op = pick(0, 99);
        if (shown < 0 && op < 80)
            op = 80;  // no sheet is shown: choose one
        ++counter;
        const int row = pick(1, 20);
        if (op < 45) {
            const int col = pick(0, 3);
            const std::string text = std::to_string(counter % 100000);
            std::fprintf(log, "B value %d %d %d %s\n", shown, col, row, text.c_str());
            std::fflush(log);
            gridEdit->setCellText(col, row, QString::fromStdString(text));
        } else if (op < 60) {
            const std::string text = "L" + std::to_string(counter);
            std::fprintf(log, "B label %d %d %s\n", shown, row, text.c_str());
            std::fflush(log);
            gridCtrl->setCellText(0, row, QString::fromStdString(text));
        } else if (op < 70) {
            const bool on = !gridCtrl->cells().flag(1, row);
            std::fprintf(log, "B switch %d %d %d\n", shown, row, on ? 1 : 0);
            std::fflush(log);
            gridCtrl->cells().setFlag(1, row, on);
            gridCtrl->gridModel()->cellChanged(1, row);
        } else if (op < 80) {
            const std::string text = "P" + std::to_string(counter);
            std::fprintf(log, "B product %d %s\n", shown, text.c_str());
            std::fflush(log);
            editProduct->setText(QString::fromStdString(text));
        } else if (op < 93) {
            const int k = pick(0, count - 1);
            std::fprintf(log, "B tab %d\n", k);
            std::fflush(log);
            if (tabCtrl->currentIndex() == k && shown < 0)
                emit tabCtrl->tabBarClicked(k);
            else
                tabCtrl->setCurrentIndex(k);
        } else {
            const int k = pick(2, 5);
            std::fprintf(log, "B count %d\n", k);
            std::fflush(log);
            spinTab->setValue(k);
        }
        QApplication::processEvents();
        std::fprintf(log, "E\n");
        std::fflush(log);
    }
}
