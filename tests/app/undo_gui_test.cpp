// Ctrl+Z in the window takes back the edits one by one, in the order they
// were made: fields between cells, an import over computed limits, a new lot
// count.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QFile>
#include <QMenu>
#include <QTabBar>
#include <functional>

#include "entry/entry_window.h"
#include "exchange/csv.h"

namespace trevolo::testing {
namespace {

class UndoWindow : public EntryWindow {
protected:
    // Ctrl+Z in the measurement table.
    void undo()
    {
        QKeyEvent e(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier);
        QApplication::sendEvent(&edit(), &e);
        QApplication::processEvents();
    }
    // Types into a field and leaves it with Tab.
    void typeInto(const char* name, const char* text)
    {
        auto* e = Ctl<TEdit>(form, name);
        e->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        QTest::keyClicks(e, QString::fromUtf8(text));
        QTest::keyClick(e, Qt::Key_Tab);
        QApplication::processEvents();
    }
    // Types a value into a measurement cell and commits it with Enter.
    void typeCell(int col, int row, const char* text)
    {
        focusCell(col, row);
        type(text);
        pressEnter();
    }
    void paste(const QString& text)
    {
        focusCell(0, 1);
        QGuiApplication::clipboard()->setText(text);
        QKeyEvent e(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
        QApplication::sendEvent(&edit(), &e);
        QApplication::processEvents();
    }
    QString field(const char* name) { return Ctl<TEdit>(form, name)->text(); }
    int lots() { return ctrl().RowCount() - 1; }
};

TEST_F(UndoWindow, CtrlZTakesBackEachEditInTheOrderItWasMade)
{
    const struct {
        const char* name;
        std::function<void()> run;
    } cases[] = {
        {"header fields between cell edits",
         [this] {
             typeInto("editKupper", "25");
             typeCell(0, 2, "7");
             typeInto("editKlower", "1");
             const QString upper = field("editKupper");
             ASSERT_FALSE(upper.isEmpty());
             ASSERT_FALSE(cell(0, 2).empty());
             // The open menu names the step Ctrl+Z takes back.
             auto* menu = Ctl<QMenu>(form, "popMenu");
             emit menu->aboutToShow();
             EXPECT_EQ(Ctl<QAction>(form, "popMenuUndo")->text(), QStringLiteral("元に戻す: 規格下限(&U)"));
             emit menu->aboutToHide();
             undo();
             EXPECT_EQ(field("editKlower"), QString());
             EXPECT_EQ(field("editKupper"), upper);
             EXPECT_FALSE(cell(0, 2).empty());
             undo();
             EXPECT_EQ(cell(0, 2), "");
             EXPECT_EQ(field("editKupper"), upper);
             undo();
             EXPECT_EQ(field("editKupper"), QString());
         }},
        {"an import over computed limits",
         [this] {
             QString values;
             for (int r = 1; r <= 10; ++r)
                 values += QStringLiteral("9.%1\t9.%2\r\n").arg(r).arg(10 - r);
             paste(values);
             prompts.answers = {true};
             Ctl<QPushButton>(form, "btn3Stdev")->click();
             const QStringList limits = limitTexts();
             ASSERT_FALSE(limits[LimitXcl].isEmpty()) << texts().join(" / ").toStdString();
             const std::string csv =
                 "品種名称,工程名称,装置名称,項目名称,測定単位,規格種別,小数点桁,規格上限,規格下限\r\n"
                 "製品,工程,装置,内径,MM,公差規格,2,10,9\r\n\r\nﾛｯﾄ№,N1\r\nA,9.5\r\n";
             QFile file(dir.filePath("import.csv"));
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             const std::string bytes = Utf8ToCp932(csv);
             file.write(bytes.data(), static_cast<qint64>(bytes.size()));
             file.close();
             prompts.files.push_back(file.fileName());
             Ctl<QAction>(form, "mainMenuCsvImport")->trigger();
             ASSERT_EQ(Ctl<TEdit>(form, "editLabel")->text(), QStringLiteral("内径"));
             ASSERT_TRUE(limitTexts()[LimitXcl].isEmpty());
             undo();
             EXPECT_EQ(limitTexts(), limits);
             EXPECT_EQ(cell(0, 1), "9.100");
             EXPECT_NE(Ctl<TEdit>(form, "editLabel")->text(), QStringLiteral("内径"));
         }},
        {"a new lot count",
         [this] {
             auto* spinRow = Ctl<TSpinEdit>(form, "spinRow");
             const int shown = lots();
             ASSERT_GE(shown, 30);
             QString values;
             for (int r = 1; r <= 30; ++r)
                 values += QStringLiteral("%1\r\n").arg(r);
             paste(values);
             spinRow->setText(QStringLiteral("10"));
             QApplication::processEvents();
             ASSERT_EQ(lots(), 10);
             undo();
             EXPECT_EQ(lots(), shown);
             EXPECT_EQ(spinRow->value(), shown);
             EXPECT_EQ(cell(0, 30), "30");
             undo();
             EXPECT_EQ(cell(0, 30), "");
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.run();
    }
}

}  // namespace
}  // namespace trevolo::testing
