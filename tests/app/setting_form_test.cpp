// The initial-values dialog, alone and as the main window's command, driven
// offscreen. The modal dialog is driven from a timer; Enter and Esc are
// delivered to the focused control as the user's key presses.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <functional>

#include "app/fields.h"
#include "app/setting_form.h"
#include "app_fixture.h"
#include "support/find_control.h"

using trevolo::testing::Ctl;

namespace trevolo {
namespace {

class SettingFormTest : public testing::MainFormTest {
protected:
    TSettingForm& dlg() { return *form->findChild<TSettingForm*>(); }

    // Runs the main window's command; inside runs while the dialog is shown
    // and ends it (Cancel when it is still open).
    void runCommand(const std::function<void(TSettingForm&)>& inside)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            QApplication::setActiveWindow(&dlg());
            QApplication::processEvents();
            ran = true;
            inside(dlg());
            if (dlg().isVisible())
                dlg().btnCancel->click();
        });
        Ctl<QAction>(form, "menuSettingInit")->trigger();
        QApplication::processEvents();
        EXPECT_TRUE(ran);
    }

    // Replaces a field's text by typed characters (each through the key
    // filters), leaving the focus in the field.
    static void typeInto(TEdit* e, const char* keys)
    {
        e->setFocus(Qt::TabFocusReason);
        e->clear();
        for (const char* k = keys; *k; ++k)
            e->typeChar(QLatin1Char(*k));
    }
    static void keyToFocus(Qt::Key k) { press(QApplication::focusWidget(), k); }
    static void choose(QComboBox* box, int item)
    {
        box->setCurrentIndex(item);
        emit box->activated(item);
    }

    // What the main window shows of the initial values.
    struct View {
        QString tab, row, col, unit, decimals, cpcpk;
        int kind, cpkIndex, chart, limit;
        bool cpkCheck;
        int tabs;
        bool operator==(const View&) const = default;
    };
    View view()
    {
        auto text = [&](const char* name) { return Ctl<TEdit>(form, name)->text(); };
        auto item = [&](const char* name) { return Ctl<QComboBox>(form, name)->currentIndex(); };
        return {text("spinTab"),
                text("spinRow"),
                text("spinCol"),
                text("editUnit"),
                text("spinKeta"),
                text("editCpCpk"),
                item("cmbSpecKind"),
                item("cmbCpCpk"),
                item("cmbChart"),
                item("cmbLimit"),
                Ctl<QCheckBox>(form, "chkCpCpk")->isChecked(),
                Ctl<QTabBar>(form, "tabCtrl")->count()};
    }
};

TEST_F(SettingFormTest, EveryControlIsNamedForAssistiveTools)
{
    open();
    TSettingForm& d = dlg();
    int named = 0;
    for (QWidget* w : d.findChildren<QWidget*>()) {
        if (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(&d) || qobject_cast<QPushButton*>(w))
            continue;
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        ++named;
    }
    EXPECT_EQ(named, 11);
}

TEST_F(SettingFormTest, KeyFiltersAndLeavingAFieldNormaliseTheValues)
{
    open();
    runCommand([&](TSettingForm& d) {
        EXPECT_EQ(QApplication::focusWidget(), d.spinTab);
        EXPECT_EQ(d.spinTab->fieldColor(), QColor(255, 255, 0));
        struct Case {
            TEdit* field;
            const char* keys;
            const char* typed;  // after the key filters
            const char* left;   // after leaving the field
        };
        const Case cases[] = {
            {d.spinTab, "1a2-", "12", "12"},
            {d.spinTab, "0", "0", "1"},
            {d.spinTab, "", "", "1"},
            {d.spinTab, "250", "250", "100"},
            {d.spinRow, "5", "5", "10"},
            {d.spinRow, "2000", "2000", "1000"},
            {d.spinCol, "0", "0", "1"},
            {d.spinKeta, "6795", "5", "5"},
            {d.editCpCpk, "2", "2", "2.00"},
            {d.editCpCpk, ".", ".", "1.33"},
            {d.editCpCpk, "1.2.5", "1.25", "1.25"},
            {d.editCpCpk, "0.8a", "0.8", "0.80"},
            {d.editUnit, "ABCDEFGH", "ABCDEF", "ABCDEF"},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.field->objectName().toStdString() + " '" + c.keys + "'");
            typeInto(c.field, c.keys);
            EXPECT_EQ(c.field->text(), QString::fromUtf8(c.typed));
            keyToFocus(Qt::Key_Return);  // Enter moves on, so the field is left
            EXPECT_NE(QApplication::focusWidget(), c.field);
            EXPECT_EQ(c.field->text(), QString::fromUtf8(c.left));
            EXPECT_EQ(c.field->fieldColor(), QColor(255, 255, 255));
        }
    });
    EXPECT_EQ(dlg().result(), QDialog::Rejected);
}

TEST_F(SettingFormTest, CancelAfterEditingEverythingChangesNothing)
{
    open();
    const InitialValues before = form->workbook().settings;
    const View shown = view();
    runCommand([&](TSettingForm& d) {
        typeInto(d.spinTab, "9");
        typeInto(d.spinRow, "55");
        typeInto(d.spinCol, "4");
        typeInto(d.editUnit, "KG");
        choose(d.cmbSpecKind, 2);
        typeInto(d.spinKeta, "1");
        d.chkCpCpk->setChecked(false);
        choose(d.cmbCpCpk, 0);
        typeInto(d.editCpCpk, "2");
        choose(d.cmbChart, 1);
        choose(d.cmbLimit, 1);
        keyToFocus(Qt::Key_Escape);
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(dlg().result(), QDialog::Rejected);
    EXPECT_EQ(form->workbook().settings, before);
    EXPECT_EQ(view(), shown);

    // The next showing shows the stored values again.
    runCommand([&](TSettingForm& d) {
        EXPECT_EQ(d.spinTab->text(), QStringLiteral("3"));
        EXPECT_EQ(d.spinRow->text(), QStringLiteral("100"));
        EXPECT_EQ(d.spinCol->text(), QStringLiteral("10"));
        EXPECT_EQ(d.editUnit->text(), QStringLiteral("MM"));
        EXPECT_EQ(d.cmbSpecKind->currentIndex(), 0);
        EXPECT_EQ(d.spinKeta->text(), QStringLiteral("3"));
        EXPECT_TRUE(d.chkCpCpk->isChecked());
        EXPECT_TRUE(d.editCpCpk->isEnabled());
        EXPECT_EQ(d.cmbCpCpk->currentIndex(), 1);
        EXPECT_EQ(d.editCpCpk->text(), QStringLiteral("1.33"));
        EXPECT_EQ(d.cmbChart->currentIndex(), 0);
        EXPECT_EQ(d.cmbLimit->currentIndex(), 0);
        for (TEdit* e : {static_cast<TEdit*>(d.spinRow), d.editUnit, d.editCpCpk})
            EXPECT_EQ(e->fieldColor(), QColor(255, 255, 255));
    });
    EXPECT_EQ(form->workbook().settings, before);
}

TEST_F(SettingFormTest, OkRaisingTheSheetCountAddsSheetsWithTheShownLotCountAndN)
{
    open();
    auto* tabCtrl = Ctl<QTabBar>(form, "tabCtrl");
    auto* gridEdit = Ctl<StringGrid>(form, "gridEdit");
    ASSERT_EQ(tabCtrl->count(), 3);
    runCommand([&](TSettingForm& d) {
        typeInto(d.spinTab, "6");
        typeInto(d.spinRow, "50");
        typeInto(d.spinCol, "5");
        typeInto(d.editUnit, "KG");
        choose(d.cmbSpecKind, 1);
        typeInto(d.spinKeta, "2");
        d.btnOk->setFocus(Qt::TabFocusReason);
        keyToFocus(Qt::Key_Return);
    });
    EXPECT_EQ(dlg().result(), QDialog::Accepted);
    EXPECT_EQ(form->workbook().settings.sheetCount, 6);
    EXPECT_EQ(form->workbook().settings.lots, 50);
    EXPECT_EQ(form->workbook().settings.n, 5);
    EXPECT_EQ(form->workbook().settings.unit, "KG");
    EXPECT_EQ(form->workbook().settings.specKind, 1);
    EXPECT_EQ(form->workbook().settings.decimals, 2);

    ASSERT_EQ(tabCtrl->count(), 6);
    ASSERT_EQ(form->workbook().sheets.size(), 6u);
    for (int i = 3; i < 6; ++i) {
        SCOPED_TRACE(i);
        const SheetRecord& s = form->workbook().sheets[static_cast<size_t>(i)];
        EXPECT_EQ(tabCtrl->tabText(i), QStringLiteral("Sheet") + QString::number(i + 1));
        EXPECT_EQ(s.label, "Sheet" + std::to_string(i + 1));
        EXPECT_EQ(s.unit, "KG");
        EXPECT_EQ(s.specKindText, "上限規格");
        EXPECT_EQ(s.decimals, "2");
        EXPECT_EQ(s.lots, 100);
        EXPECT_EQ(s.n, 10);
    }
    // The shown sheet takes the new values at once; its limit fields follow the kind.
    EXPECT_EQ(Ctl<TSpinEdit>(form, "spinRow")->text(), QStringLiteral("50"));
    EXPECT_EQ(gridEdit->RowCount(), 51);
    EXPECT_EQ(gridEdit->ColCount(), 5);
    EXPECT_EQ(Ctl<TEdit>(form, "editUnit")->text(), QStringLiteral("KG"));
    EXPECT_EQ(Ctl<QComboBox>(form, "cmbSpecKind")->currentIndex(), 1);
    EXPECT_FALSE(Ctl<TEdit>(form, "editKlower")->isEnabled());
    EXPECT_EQ(Ctl<TSpinEdit>(form, "spinKeta")->text(), QStringLiteral("2"));
}

TEST_F(SettingFormTest, NOfOneAndTheXRsChartGoTogether)
{
    open();
    auto* spinCol = Ctl<TSpinEdit>(form, "spinCol");
    auto* cmbChart = Ctl<QComboBox>(form, "cmbChart");
    auto* gridSpc = Ctl<StringGrid>(form, "gridSpc");
    runCommand([&](TSettingForm& d) {
        // n = 1 selects X-Rs; back to 5 gives the stored chart kind.
        typeInto(d.spinCol, "1");
        EXPECT_EQ(d.cmbChart->currentIndex(), ChartXRs);
        typeInto(d.spinCol, "5");
        EXPECT_EQ(d.cmbChart->currentIndex(), ChartXbarR);
        // Choosing X-Rs sets n to 1; while n is 1 no other kind can be chosen.
        choose(d.cmbChart, ChartXRs);
        EXPECT_EQ(d.spinCol->text(), QStringLiteral("1"));
        choose(d.cmbChart, ChartXbarS);
        EXPECT_EQ(d.cmbChart->currentIndex(), ChartXRs);
        d.btnOk->click();
    });
    EXPECT_EQ(form->workbook().settings.n, 1);
    EXPECT_EQ(form->workbook().settings.chartKind, ChartXRs);
    EXPECT_EQ(spinCol->text(), QStringLiteral("1"));
    EXPECT_EQ(cmbChart->currentIndex(), ChartXRs);
    EXPECT_EQ(gridSpc->cells().text(9, 0), "Rs①");

    runCommand([&](TSettingForm& d) {
        EXPECT_EQ(d.spinCol->text(), QStringLiteral("1"));
        EXPECT_EQ(d.cmbChart->currentIndex(), ChartXRs);
        typeInto(d.spinCol, "8");
        choose(d.cmbChart, ChartXbarS);
        d.btnOk->click();
    });
    EXPECT_EQ(form->workbook().settings.chartKind, ChartXbarS);
    EXPECT_EQ(cmbChart->currentIndex(), ChartXbarS);
    EXPECT_EQ(spinCol->text(), QStringLiteral("8"));
    EXPECT_EQ(gridSpc->cells().text(9, 0), "S①");
}

TEST_F(SettingFormTest, ThresholdAndMarkingReachTheMainWindow)
{
    open();
    auto* editCpCpk = Ctl<TEdit>(form, "editCpCpk");
    auto* editUnit = Ctl<TEdit>(form, "editUnit");
    runCommand([&](TSettingForm& d) {
        typeInto(d.editCpCpk, "2");
        choose(d.cmbCpCpk, 0);
        d.btnOk->click();  // OK while the threshold still has the focus
    });
    EXPECT_EQ(form->workbook().settings.cpCpk, "2.00");
    EXPECT_EQ(form->workbook().settings.cpkIndex, 0);
    EXPECT_EQ(editCpCpk->text(), QStringLiteral("2.00"));
    EXPECT_EQ(Ctl<QComboBox>(form, "cmbCpCpk")->currentIndex(), 0);

    runCommand([&](TSettingForm& d) {
        typeInto(d.editCpCpk, ".");
        d.chkCpCpk->setChecked(false);
        EXPECT_FALSE(d.editCpCpk->isEnabled());
        EXPECT_FALSE(d.cmbCpCpk->isEnabled());
        EXPECT_EQ(d.editCpCpk->fieldColor(), d.palette().color(QPalette::Button));
        d.btnOk->click();
    });
    EXPECT_EQ(form->workbook().settings.cpCpk, "1.33");
    EXPECT_FALSE(form->workbook().settings.cpkCheck);
    EXPECT_FALSE(Ctl<QCheckBox>(form, "chkCpCpk")->isChecked());
    EXPECT_FALSE(editCpCpk->isEnabled());

    // The unit takes at most 6 characters here and 10 on the main window.
    runCommand([&](TSettingForm& d) {
        typeInto(d.editUnit, "MICRONS-X");
        d.btnOk->click();
    });
    EXPECT_EQ(form->workbook().settings.unit, "MICRON");
    EXPECT_EQ(editUnit->text(), QStringLiteral("MICRON"));
    EXPECT_EQ(editUnit->maxLength(), 10);
}

TEST_F(SettingFormTest, ChangingTheChartKindEmptiesTheLimitsOfTheOldKind)
{
    open();
    auto* editUcl3 = Ctl<TEdit>(form, "editUcl3");
    auto* editRsUcl3 = Ctl<TEdit>(form, "editRsUcl3");
    auto* gridCtrl = Ctl<TplStringGrid>(form, "gridCtrl");
    editUcl3->setText(QStringLiteral("10.0000"));
    editRsUcl3->setText(QStringLiteral("0.5000"));
    gridCtrl->cells().setText(0, 2, "LOT-2");
    runCommand([&](TSettingForm& d) {
        choose(d.cmbChart, ChartXbarS);
        d.btnOk->click();
    });
    EXPECT_EQ(Ctl<QComboBox>(form, "cmbChart")->currentIndex(), ChartXbarS);
    EXPECT_TRUE(editUcl3->text().isEmpty());
    EXPECT_TRUE(editRsUcl3->text().isEmpty());
    EXPECT_EQ(Ctl<StringGrid>(form, "gridSpc")->cells().text(9, 0), "S①");
    EXPECT_EQ(Ctl<QTabWidget>(form, "pageInput")->tabText(2), QStringLiteral("SPC異常判定(X側-S側)"));
    EXPECT_EQ(gridCtrl->cells().text(0, 2), "LOT-2");
    EXPECT_EQ(Ctl<StringGrid>(form, "gridCalc")->cells().text(0, 2), "LOT-2");

    // OK without a change of kind leaves the limits alone.
    editUcl3->setText(QStringLiteral("10.0000"));
    runCommand([&](TSettingForm& d) { d.btnOk->click(); });
    EXPECT_EQ(editUcl3->text(), QStringLiteral("10.0000"));
}

}  // namespace
}  // namespace trevolo
