#pragma once
// Input fields of the forms: a line edit with a per-field key filter, and the
// spin field (a whole number with a minimum and a maximum, up and down
// buttons, clamped when set and when left).
#include <QLineEdit>
#include <functional>

class QKeyEvent;
class QToolButton;

namespace trevolo {

inline const QColor kFieldFocusColor{255, 255, 0};     // yellow while a field has the focus
inline const QColor kFieldNormalColor{255, 255, 255};  // white otherwise

// Key filters of the fields: each takes a typed character and the text it
// goes into, and says whether the character may stay.
bool NameKey(QChar ch, const QString& text);       // not # * , / : ? [ \ ]
bool NumericKey(QChar ch, const QString& text);    // digits, one point, one minus sign
bool DigitKey(QChar ch, const QString& text);      // digits
bool DecimalsKey(QChar ch, const QString& text);   // digits 0 to 5
bool ThresholdKey(QChar ch, const QString& text);  // digits and one point

// A key press that types one printable character (no Ctrl or Alt), the
// kind the key filters judge.
bool IsTypedChar(const QKeyEvent* e);
// Enter on either the main or the number block.
bool IsEnterKey(const QKeyEvent* e);

// Puts a text into a field whole. The field's length limit is for typing: a
// stored or computed text longer than that is shown uncut (a shorter text
// would be other data), and the limit comes back with the next text that fits.
void SetWholeText(QLineEdit* field, const QString& text);

// A line edit whose typed characters pass a key filter first. The filter sees
// each printable character with the field's text and returns false to discard
// it; control keys (Backspace, arrows, shortcuts) always pass.
class TEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TEdit(QWidget* parent = nullptr);

    std::function<bool(QChar ch, const QString& text)> keyFilter;

    // Background colour of the field (yellow while focused, white otherwise).
    void setFieldColor(const QColor& c);
    QColor fieldColor() const;

    // Sends one typed character through the filters as a key press would.
    void typeChar(QChar ch);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    // True when the character may reach the field (before keyFilter).
    virtual bool preFilter(QChar ch);
};

class TSpinEdit : public TEdit {
    Q_OBJECT
public:
    TSpinEdit(int minValue, int maxValue, QWidget* parent = nullptr);

    int minValue() const { return min_; }
    int maxValue() const { return max_; }
    void setRange(int minValue, int maxValue);

    // The text read as a whole number, or the minimum when it is not one.
    int value() const;
    // Clamps into the range and writes the value as decimal text; a change of
    // the text runs the field's change handler.
    void setValue(int v);
    // The clamp applied when the focus leaves: an empty text, "0" or a value
    // below the minimum becomes the minimum, a value above the maximum the maximum.
    void clampOnExit();

protected:
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool preFilter(QChar ch) override;

private:
    int min_;
    int max_;
    QToolButton* up_;
    QToolButton* down_;
};

}  // namespace trevolo
