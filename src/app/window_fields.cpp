#include "app/window_fields.h"

#include <QAbstractSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "app/fields.h"

namespace trevolo {

// Ctrl+Z: -1 (undo); Ctrl+Y and Ctrl+Shift+Z: 1 (redo); any other key: 0.
int HistoryKey(const QKeyEvent* e)
{
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (e->key() == Qt::Key_Z && mods == Qt::ControlModifier)
        return -1;
    if ((e->key() == Qt::Key_Y && mods == Qt::ControlModifier) ||
        (e->key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier)))
        return 1;
    return 0;
}

// A control that edits text of its own.
bool EditsText(const QWidget* w)
{
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w);
}

void ShowFieldFocused(QWidget* field, bool focused)
{
    const QColor colour = focused ? kFieldFocusColor : kFieldNormalColor;
    if (auto* e = qobject_cast<TEdit*>(field)) {
        if (!e->isReadOnly())
            e->setFieldColor(colour);
        return;
    }
    if (!focused) {
        field->setPalette(QPalette());
        return;
    }
    QPalette p = field->palette();
    p.setColor(QPalette::Base, colour);
    p.setColor(QPalette::Button, colour);
    field->setPalette(p);
}

}  // namespace trevolo
