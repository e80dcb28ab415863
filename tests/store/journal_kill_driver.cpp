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
#include <variant>

#include "app/fields.h"
#include "app/mainform.h"
#include "app/prompts.h"
#include "document/undo_stack.h"
#include "model/commatext.h"
#include "support/find_control.h"

using namespace trevolo;
using trevolo::testing::Ctl;

namespace {

void WriteState(TMainForm& form, const QString& path)
{
    if (form.selectedTab() >= 0)
        form.storeShownSheet();
    const QString tmp = path + QStringLiteral(".tmp");
    FILE* f = std::fopen(tmp.toLocal8Bit().constData(), "w");
    if (!f)
        std::exit(3);
    std::fprintf(f, "count %d\nshown %d\n", static_cast<int>(form.workbook().sheets.size()), form.selectedTab());
    for (size_t i = 0; i < form.workbook().sheets.size(); ++i) {
        const SheetRecord& s = form.workbook().sheets[i];
        std::fprintf(f, "product %zu %s\n", i, s.product.c_str());
        for (size_t r = 0; r < s.dataList.size(); ++r) {
            const DataLineParts parts = DataLineSplit(s.dataList[r]);
            const bool on = r < s.checkList.size() && s.checkList[r] == "1";
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

// What undoing (or redoing) the next step of the shown sheet's history will
// write, as edits of the log separated by ';'.
std::string HistoryEffects(TMainForm& form, int shown, bool redo)
{
    SheetSession& session = form.session();
    // A pending field text becomes a step first, as the window's undo does.
    session.commitPendingText();
    const UndoStack* h = session.history();
    const UndoStep* step = !h ? nullptr : redo ? h->nextRedo() : h->nextUndo();
    std::string out;
    if (!step)
        return out;
    auto add = [&out](const std::string& edit) { out += (out.empty() ? "" : ";") + edit; };
    const std::string sheet = std::to_string(shown);
    auto cell = [&](const CellChange& c) {
        const std::string& text = redo ? c.after : c.before;
        const std::string rc = std::to_string(c.col) + " " + std::to_string(c.row);
        if (c.table == SheetTable::Values)
            add(text.empty() ? "unset " + sheet + " " + rc : "value " + sheet + " " + rc + " " + text);
        else if (c.table == SheetTable::Lots && c.col == 0)
            add("label " + sheet + " " + std::to_string(c.row) + " " + text);
        else if (c.table == SheetTable::Lots)
            add("switch " + sheet + " " + std::to_string(c.row) + ((redo ? c.flagAfter : c.flagBefore) ? " 1" : " 0"));
    };
    if (const auto* cells = std::get_if<CellEdit>(&step->edit))
        cells->forEachCell(redo, cell);
    if (const auto* text = std::get_if<TextEdit>(&step->edit)) {
        const bool product = text->field == TextField::OfHeader(HeaderField::Product);
        add("product " + sheet + " " + (product ? (redo ? text->after : text->before) : session.header().product));
    }
    return out;
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
            // One lot renumbered, as the lot editor's OK writes it.
            std::vector<std::string> labels;
            for (int r = 0; r < gridCtrl->RowCount(); ++r)
                labels.push_back(r == row ? text : gridCtrl->cells().text(0, r));
            JournalBatch batch(form.journal());
            form.session().edits().renumberLots(labels);
        } else if (op < 66) {
            const bool on = !gridCtrl->cells().flag(1, row);
            std::fprintf(log, "B switch %d %d %d\n", shown, row, on ? 1 : 0);
            std::fflush(log);
            gridCtrl->toggle(row);
        } else if (op < 72) {
            // Undo (two in three) or redo of the shown sheet's last step.
            const bool redo = pick(0, 2) == 0;
            std::fprintf(log, "B edits %s\n", HistoryEffects(form, shown, redo).c_str());
            std::fflush(log);
            Ctl<QAction>(form, redo ? "popMenuRedo" : "popMenuUndo")->trigger();
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
