#include "app/fields.h"

#include <QApplication>
#include <QKeyEvent>
#include <QToolButton>
#include <QVariant>
#include <algorithm>

#include "model/number.h"

namespace trevolo {

bool NameKey(QChar ch, const QString&)
{
    static const QString refused = QStringLiteral("#*,/:?[\\]");
    return !refused.contains(ch);
}

bool NumericKey(QChar ch, const QString& text)
{
    if (ch == QLatin1Char('.'))
        return !text.contains(QLatin1Char('.'));
    if (ch == QLatin1Char('-'))
        return !text.contains(QLatin1Char('-'));
    return DigitKey(ch, text);
}

bool DigitKey(QChar ch, const QString&)
{
    return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

bool DecimalsKey(QChar ch, const QString&)
{
    return ch >= QLatin1Char('0') && ch <= QLatin1Char('5');
}

bool ThresholdKey(QChar ch, const QString& text)
{
    if (ch == QLatin1Char('.'))
        return !text.contains(QLatin1Char('.'));
    return DigitKey(ch, text);
}

bool IsTypedChar(const QKeyEvent* e)
{
    const QString t = e->text();
    return t.size() == 1 && t.at(0).unicode() >= 0x20 && t.at(0).unicode() != 0x7f &&
           !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

bool IsEnterKey(const QKeyEvent* e)
{
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

TEdit::TEdit(QWidget* parent) : QLineEdit(parent)
{
    setFieldColor(kFieldNormalColor);
}

void SetWholeText(QLineEdit* field, const QString& text)
{
    static const char* const kTypingLimit = "trevoloTypingLimit";
    QVariant limit = field->property(kTypingLimit);
    if (!limit.isValid()) {
        limit = field->maxLength();
        field->setProperty(kTypingLimit, limit);
    }
    field->setMaxLength(std::max(limit.toInt(), static_cast<int>(text.size())));
    field->setText(text);
}

void TEdit::setFieldColor(const QColor& c)
{
    QPalette p = palette();
    p.setColor(QPalette::Base, c);
    setPalette(p);
}

QColor TEdit::fieldColor() const
{
    return palette().color(QPalette::Base);
}

bool TEdit::preFilter(QChar)
{
    return true;
}

void TEdit::keyPressEvent(QKeyEvent* e)
{
    const QString t = e->text();
    if (IsTypedChar(e)) {
        if (!preFilter(t.at(0))) {
            e->accept();
            return;
        }
        // The filter judges the text the character goes into: typing over a
        // selection replaces it, so ".5" typed over a selected "1.500" keeps its point.
        QString into = text();
        if (hasSelectedText())
            into.remove(selectionStart(), selectedText().size());
        if (keyFilter && !keyFilter(t.at(0), into)) {
            e->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(e);
}

void TEdit::typeChar(QChar ch)
{
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
    keyPressEvent(&press);
}

TSpinEdit::TSpinEdit(int minValue, int maxValue, QWidget* parent)
    : TEdit(parent), min_(minValue), max_(maxValue), up_(new QToolButton(this)), down_(new QToolButton(this))
{
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up_, down_}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRepeat(true);
        b->setCursor(Qt::ArrowCursor);
    }
    connect(up_, &QToolButton::clicked, this, [this] { setValue(value() + 1); });
    connect(down_, &QToolButton::clicked, this, [this] { setValue(value() - 1); });
    setTextMargins(0, 0, 16, 0);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

void TSpinEdit::setRange(int minValue, int maxValue)
{
    min_ = minValue;
    max_ = maxValue;
}

int TSpinEdit::value() const
{
    int v = 0;
    return TryStrToInt(text().toStdString(), v) ? v : min_;
}

void TSpinEdit::setValue(int v)
{
    const QString t = QString::number(std::clamp(v, min_, max_));
    if (t != text())
        setText(t);
}

void TSpinEdit::clampOnExit()
{
    const QString t = text();
    int v = value();
    if (t.isEmpty() || t == QLatin1String("0") || v < min_)
        setValue(min_);
    v = value();
    if (v > max_)
        setValue(max_);
}

void TSpinEdit::resizeEvent(QResizeEvent* e)
{
    TEdit::resizeEvent(e);
    const int w = 15;
    const int h = height() / 2;
    up_->setGeometry(width() - w - 1, 1, w, h - 1);
    down_->setGeometry(width() - w - 1, h, w, height() - h - 1);
}

void TSpinEdit::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Up) {
        setValue(value() + 1);
        return;
    }
    if (e->key() == Qt::Key_Down) {
        setValue(value() - 1);
        return;
    }
    TEdit::keyPressEvent(e);
}

bool TSpinEdit::preFilter(QChar ch)
{
    // A spin field takes digits, a sign and the point; anything else beeps.
    if (ch.isDigit() && ch.unicode() < 0x80)
        return true;
    if (ch == QLatin1Char('-') || ch == QLatin1Char('+') || ch == QLatin1Char('.'))
        return true;
    QApplication::beep();
    return false;
}

}  // namespace trevolo
