#pragma once
// A main window on settings of its own in a temporary folder, with message
// boxes answered by a script.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/mainform.h"
#include "app/prompts.h"
#include "support/find_control.h"

namespace trevolo::testing {

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        settings = std::make_unique<QSettings>(dir.filePath("trevolo.conf"), QSettings::IniFormat);
        Prompts::install(&prompts);
    }
    void TearDown() override
    {
        form.reset();
        Prompts::install(nullptr);
    }

    TMainForm& open()
    {
        form = std::make_unique<TMainForm>(settings.get());
        form->show();
        QApplication::setActiveWindow(form.get());
        QApplication::processEvents();
        return *form;
    }

    // Moves the focus into a field and out again, as the user leaving it.
    void leave(QWidget* field, QWidget* next = nullptr)
    {
        auto* editProduct = Ctl<TEdit>(form, "editProduct");
        field->setFocus(Qt::OtherFocusReason);
        (next ? next : static_cast<QWidget*>(editProduct == field ? Ctl<TEdit>(form, "editProcess") : editProduct))
            ->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
    }

    // Delivers a key press straight to a widget, through its event filters.
    static void press(QWidget* w, Qt::Key key, const QString& text = QString())
    {
        QString t = text;
        if (t.isEmpty() && (key == Qt::Key_Return || key == Qt::Key_Enter))
            t = QStringLiteral("\r");
        else if (t.isEmpty() && key == Qt::Key_Escape)
            t = QString(QChar(27));
        else if (t.isEmpty() && key == Qt::Key_Space)
            t = QStringLiteral(" ");
        QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, t);
        QApplication::sendEvent(w, &e);
        QApplication::processEvents();
    }

    void setCell(StringGrid* g, int col, int row, const char* text)
    {
        g->setCellText(col, row, QString::fromUtf8(text));
    }
    std::string cell(StringGrid* g, int col, int row) { return g->cells().text(col, row); }

    void selectTab(int i)
    {
        Ctl<QTabBar>(form, "tabCtrl")->setCurrentIndex(i);
        QApplication::processEvents();
    }

    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings;
    ScriptedPrompts prompts;
    std::unique_ptr<TMainForm> form;
};

}  // namespace trevolo::testing
