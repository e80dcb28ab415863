// The coefficient method chosen in the window, its stop on lots of unequal
// size, and the capability panel beside the histogram.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include "app/chart_page.h"
#include "app_fixture.h"
#include "support/find_control.h"

namespace trevolo::testing {
namespace {

// Ten lots of 9 and 11: X̿ = 10, R̄ = 2, so X̄ + A₂(2)·R̄ = 13.7612. σ within
// 2/1.128 gives Cpk 1.880 against 0..20; with ν = 8.74 of R̄/d₂ its 95 % bound
// is 1.130, and nine more lots of two (ν 16.6) would raise it to 1.336.
TEST_F(MainFormTest, CoefficientMethodAndCapabilityPanel)
{
    TMainForm& f = open();
    auto* gridEdit = Ctl<StringGrid>(f, "gridEdit");
    for (int r = 1; r <= 10; ++r) {
        setCell(gridEdit, 0, r, r % 2 ? "9.000" : "11.000");
        setCell(gridEdit, 1, r, r % 2 ? "11.000" : "9.000");
    }
    Ctl<TEdit>(f, "editKupper")->setText("20.000");
    Ctl<TEdit>(f, "editKlower")->setText("0.000");
    auto* cmbLimit = Ctl<QComboBox>(f, "cmbLimit");
    ASSERT_EQ(cmbLimit->count(), 3);
    EXPECT_EQ(cmbLimit->itemText(2), "係数法（JIS Z 9020-2）");
    prompts.answers = {true};
    cmbLimit->setCurrentIndex(2);
    emit cmbLimit->activated(2);
    auto* editUcl3 = Ctl<TEdit>(f, "editUcl3");
    EXPECT_EQ(editUcl3->text(), "13.7612");
    EXPECT_TRUE(editUcl3->isReadOnly());

    // A third value in the fourth lot: the button stops naming it, and
    // nothing is written.
    setCell(gridEdit, 2, 4, "10.000");
    prompts.shown.clear();
    prompts.answers = {true};
    Ctl<QPushButton>(f, "btn3Stdev")->click();
    const QStringList texts = prompts.texts();
    ASSERT_EQ(texts.size(), 2) << texts.join(" / ").toStdString();
    EXPECT_TRUE(texts[1].contains("のデータ数は 3 個で、最初のロットの 2 個と異なります")) << texts[1].toStdString();
    EXPECT_EQ(editUcl3->text(), "13.7612");

    Ctl<QTabWidget>(f, "pageInput")->setCurrentWidget(f.findChild<ChartPage*>());
    QApplication::processEvents();
    EXPECT_TRUE(Ctl<QLabel>(f, "lblCapWithin5")->text().contains("のデータ数が他と異なるため計算できません"));
    EXPECT_EQ(Ctl<QLabel>(f, "lblCapWithin1")->text(), "－");
    EXPECT_EQ(Ctl<QLabel>(f, "lblCapOverall5")->text(), "工程能力あり（95%信頼）");

    // Equal lots again: the panel follows while it is shown.
    setCell(gridEdit, 2, 4, "");
    QApplication::processEvents();
    EXPECT_EQ(Ctl<QLabel>(f, "lblCapSummary")->text(), "N = 20　平均 10.00000");
    EXPECT_EQ(Ctl<QLabel>(f, "lblCapWithin3")->text(), "1.880");
    EXPECT_EQ(Ctl<QLabel>(f, "lblCapWithin4")->text(), "1.130");
    EXPECT_EQ(Ctl<QLabel>(f, "lblCapWithin5")->text(), "データ不足（あと約 18 個）");
}

}  // namespace
}  // namespace trevolo::testing
