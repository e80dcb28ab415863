// The rule-settings dialog driven offscreen: what OK, Cancel and
// "初期値に戻す" do to the options, the validation message and focus, the
// focus colours of the lists and the names a screen reader reads.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <ostream>

#include "app/prompts.h"
#include "app/option_form.h"
#include "spc/rule_options.h"

namespace trevolo {
namespace {

void Select(QComboBox* box, int value)
{
    const int i = box->findText(QString::number(value));
    ASSERT_GE(i, 0) << value;
    box->setCurrentIndex(i);
}

// Runs the dialog modally on options; script runs once it is shown and must
// close it. Returns what execFor returned.
bool RunDialog(TOptionForm& form, RuleOptions& options, const std::function<void(TOptionForm&)>& script)
{
    QTimer::singleShot(0, &form, [&] {
        script(form);
        if (form.isVisible())  // a script that failed half-way must not hang the test
            form.reject();
    });
    return form.execFor(options);
}

RuleOptions Edited()
{
    RuleOptions o = RuleOptions::Defaults();
    o.sameSide = false;
    o.within1Sigma = false;
    o.sameSideRun = 11;
    o.beyond2SigmaBlock = 7;
    o.beyond2SigmaHits = 6;
    o.outside1SigmaRun = 10;
    return o;
}

class OptionFormTest : public ::testing::Test {
protected:
    ScriptedPrompts prompts;
    ScopedPrompts scope{prompts};
    TOptionForm form;
};

// The ways of closing the dialog after editing: only OK (button or Enter)
// stores, Cancel and Esc forget the edits.
struct CloseCase {
    const char* name;
    std::function<void(TOptionForm&)> close;
    bool stores;
};

void PrintTo(const CloseCase& c, std::ostream* os)
{
    *os << c.name;
}

class OptionFormClose : public OptionFormTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(OptionFormClose, OnlyOkStores)
{
    RuleOptions options = Edited();
    const bool ok = RunDialog(form, options, [](TOptionForm& f) {
        EXPECT_FALSE(f.checkBox(2)->isChecked());
        EXPECT_TRUE(f.checkBox(3)->isChecked());
        EXPECT_EQ(f.list(ListSameSideRun)->currentText(), "11");
        EXPECT_EQ(f.list(ListBeyond2SigmaHits)->currentText(), "6");
        EXPECT_EQ(f.focusWidget(), f.checkBox(1));
        f.checkBox(4)->setChecked(false);
        Select(f.list(ListTrendRun), 8);
        GetParam().close(f);
    });
    EXPECT_EQ(ok, GetParam().stores);
    RuleOptions expected = Edited();
    if (GetParam().stores) {
        expected.alternating = false;
        expected.trendRun = 8;
    }
    EXPECT_EQ(options, expected);
    EXPECT_TRUE(prompts.shown.empty());

    // The next showing starts from the options, not from abandoned edits.
    RunDialog(form, options, [&](TOptionForm& f) {
        EXPECT_EQ(f.checkBox(4)->isChecked(), expected.alternating);
        EXPECT_EQ(f.list(ListTrendRun)->currentText(), QString::number(expected.trendRun));
        f.btnCancelClick();
    });
}

INSTANTIATE_TEST_SUITE_P(
    Ways, OptionFormClose,
    ::testing::Values(
        CloseCase{"ok_button", [](TOptionForm& f) { QTest::mouseClick(f.btnOk, Qt::LeftButton); }, true},
        CloseCase{"enter", [](TOptionForm& f) { QTest::keyClick(f.checkBox(1), Qt::Key_Return); }, true},
        CloseCase{"cancel_button", [](TOptionForm& f) { QTest::mouseClick(f.btnCancel, Qt::LeftButton); }, false},
        CloseCase{"escape", [](TOptionForm& f) { QTest::keyClick(f.checkBox(1), Qt::Key_Escape); }, false},
        CloseCase{"defaults_then_cancel",
                  [](TOptionForm& f) {
                      f.btnDefaultClick();
                      QTest::mouseClick(f.btnCancel, Qt::LeftButton);
                  },
                  false}),
    [](const ::testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

TEST_F(OptionFormTest, DefaultsResetTheListsButNotTheSwitches)
{
    RuleOptions options = Edited();
    const bool ok = RunDialog(form, options, [](TOptionForm& f) {
        QTest::mouseClick(f.btnDefault, Qt::LeftButton);
        const char* expected[kRuleListCount] = {"9", "6", "14", "3", "2", "5", "4", "15", "8"};
        for (int li = 0; li < kRuleListCount; ++li)
            EXPECT_EQ(f.list(li)->currentText(), expected[li]) << kRuleLists[li].control;
        EXPECT_FALSE(f.checkBox(2)->isChecked());
        EXPECT_FALSE(f.checkBox(7)->isChecked());
        QTest::mouseClick(f.btnOk, Qt::LeftButton);
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(options, WithDefaultRuleValues(Edited()));
}

struct InvalidCase {
    const char* name;
    int blockList, blockValue, hitsList, hitsValue;
    bool accepted;
};

void PrintTo(const InvalidCase& c, std::ostream* os)
{
    *os << c.name;
}

class OptionFormValidation : public OptionFormTest, public ::testing::WithParamInterface<InvalidCase> {};

TEST_P(OptionFormValidation, BlockShorterThanHitsIsRefused)
{
    const InvalidCase& c = GetParam();
    RuleOptions options = Edited();
    bool stayedOpen = false;
    const bool ok = RunDialog(form, options, [&](TOptionForm& f) {
        Select(f.list(c.blockList), c.blockValue);
        Select(f.list(c.hitsList), c.hitsValue);
        QTest::mouseClick(f.btnOk, Qt::LeftButton);
        stayedOpen = f.isVisible();
        if (stayedOpen) {
            EXPECT_EQ(f.focusWidget(), f.list(c.blockList));
            f.btnCancelClick();
        }
    });
    EXPECT_EQ(ok, c.accepted);
    EXPECT_EQ(stayedOpen, !c.accepted);
    if (c.accepted) {
        EXPECT_TRUE(prompts.shown.empty());
        RuleOptions expected = Edited();
        RuleListValue(expected, c.blockList) = c.blockValue;
        RuleListValue(expected, c.hitsList) = c.hitsValue;
        EXPECT_EQ(options, expected);
    } else {
        EXPECT_EQ(options, Edited());
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].kind, ScriptedPrompts::Shown::Message);
        EXPECT_EQ(prompts.shown[0].caption, "ガイドメッセージ");
        EXPECT_EQ(prompts.shown[0].text, "設定値が異常です。見直してください…");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, OptionFormValidation,
    ::testing::Values(InvalidCase{"rule5_3_of_4", ListBeyond2SigmaBlock, 3, ListBeyond2SigmaHits, 4, false},
                      InvalidCase{"rule5_4_of_4", ListBeyond2SigmaBlock, 4, ListBeyond2SigmaHits, 4, true},
                      InvalidCase{"rule6_5_of_6", ListBeyond1SigmaBlock, 5, ListBeyond1SigmaHits, 6, false},
                      InvalidCase{"rule6_8_of_8", ListBeyond1SigmaBlock, 8, ListBeyond1SigmaHits, 8, true}),
    [](const ::testing::TestParamInfo<InvalidCase>& info) { return std::string(info.param.name); });

TEST_F(OptionFormTest, ValueNotInAListMustBeChosen)
{
    // A stored value edited by hand that no list offers: no selection, and OK
    // asks for one instead of storing a value the dialog never offered.
    RuleOptions options = Edited();
    options.alternatingRun = 99;
    const RuleOptions before = options;
    const bool ok = RunDialog(form, options, [](TOptionForm& f) {
        EXPECT_EQ(f.list(ListAlternatingRun)->currentIndex(), -1);
        QTest::mouseClick(f.btnOk, Qt::LeftButton);
        ASSERT_TRUE(f.isVisible());
        EXPECT_EQ(f.focusWidget(), f.list(ListAlternatingRun));
        Select(f.list(ListAlternatingRun), 16);
        QTest::mouseClick(f.btnOk, Qt::LeftButton);
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(prompts.texts(), QStringList{"設定値が異常です。見直してください…"});
    RuleOptions expected = before;
    expected.alternatingRun = 16;
    EXPECT_EQ(options, expected);
}

TEST_F(OptionFormTest, ListsTurnYellowWhileFocused)
{
    RuleOptions options = RuleOptions::Defaults();
    RunDialog(form, options, [](TOptionForm& f) {
        f.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
        f.list(ListTrendRun)->setFocus();
        EXPECT_EQ(f.list(ListTrendRun)->palette().color(QPalette::Button), QColor(255, 255, 0));
        f.checkBox(2)->setFocus();
        EXPECT_EQ(f.list(ListTrendRun)->palette().color(QPalette::Button), QColor(255, 255, 255));
        // The lists and "初期値に戻す" are outside the tab order.
        EXPECT_EQ(f.list(ListTrendRun)->focusPolicy(), Qt::ClickFocus);
        EXPECT_EQ(f.btnDefault->focusPolicy(), Qt::ClickFocus);
        f.btnCancelClick();
    });
}

TEST_F(OptionFormTest, EveryControlHasAName)
{
    EXPECT_EQ(form.windowTitle(), "異常判定ルール設定");
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (qobject_cast<QCheckBox*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QPushButton*>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }
    // The two lists of one row are told apart.
    EXPECT_NE(form.list(ListBeyond2SigmaBlock)->accessibleName(), form.list(ListBeyond2SigmaHits)->accessibleName());
}

}  // namespace
}  // namespace trevolo
