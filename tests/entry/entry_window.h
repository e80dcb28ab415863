#pragma once
// The main window on settings of its own in a temporary folder, shown
// offscreen, with message boxes answered by a script.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

#include "app/mainform.h"
#include "app/prompts.h"
#include "support/find_control.h"

namespace trevolo::testing {

inline const QColor kRed(255, 0, 0);
inline const QColor kLime(0, 255, 0);
inline const QColor kYellow(255, 255, 0);

class EntryWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        settings = std::make_unique<QSettings>(dir.filePath("trevolo.conf"), QSettings::IniFormat);
        form = std::make_unique<TMainForm>(settings.get());
        form->show();
        QApplication::setActiveWindow(form.get());
        QApplication::processEvents();
        prompts.shown.clear();
    }
    void TearDown() override { form.reset(); }

    StringGrid& edit() { return *Ctl<StringGrid>(form, "gridEdit"); }
    TplStringGrid& ctrl() { return *Ctl<TplStringGrid>(form, "gridCtrl"); }
    std::string cell(int col, int row) { return edit().cells().text(col, row); }
    void setCell(int col, int row, const char* text) { edit().setCellText(col, row, QString::fromUtf8(text)); }

    // Puts the focus into the measurement table on a cell.
    void focusCell(int col, int row)
    {
        edit().setFocus(Qt::MouseFocusReason);
        edit().setCurrent({col, row});
        QApplication::processEvents();
    }
    // Keys as the user types them: each goes to the widget with the focus.
    void type(const char* keys)
    {
        for (const char* k = keys; *k; ++k)
            QTest::keyClick(QApplication::focusWidget(), *k);
    }
    void pressEnter() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }
    QString editorText()
    {
        auto* e = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        return e ? e->text() : QStringLiteral("<no editor>");
    }

    // Header fields that let the judgment pass its checks.
    void fillHeader(int kind = SpecTolerance, const char* upper = "10.000", const char* lower = "9.000")
    {
        auto* editKupper = Ctl<TEdit>(form, "editKupper");
        auto* editKlower = Ctl<TEdit>(form, "editKlower");
        Ctl<QComboBox>(form, "cmbSpecKind")->setCurrentIndex(kind);
        emit Ctl<QComboBox>(form, "cmbSpecKind")->activated(Ctl<QComboBox>(form, "cmbSpecKind")->currentIndex());
        if (editKupper->isEnabled())
            editKupper->setText(QString::fromUtf8(upper));
        if (editKlower->isEnabled())
            editKlower->setText(QString::fromUtf8(lower));
    }
    void fillControlLimits()
    {
        for (int line = 0; line < 9; ++line)
            LimitFieldCtl(form, line)->setText(QStringLiteral("1.0000"));
    }
    QStringList texts() const { return prompts.texts(); }

    void selectLimitMethod(int item)
    {
        auto* cmbLimit = Ctl<QComboBox>(form, "cmbLimit");
        cmbLimit->setCurrentIndex(item);
        emit cmbLimit->activated(item);
    }
    QStringList limitTexts()
    {
        QStringList l;
        for (int f = 0; f < 11; ++f)
            l << LimitFieldCtl(form, f)->text();
        return l;
    }

    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings;
    ScriptedPrompts prompts;
    ScopedPrompts guard{prompts};
    std::unique_ptr<TMainForm> form;
};

}  // namespace trevolo::testing
