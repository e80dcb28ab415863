#pragma once
// The header panel of the main window ("項目間情報設定"): the sheet's names,
// the specification kind, the decimals and the specification limits. It
// owns its fields, writes what they show into the session, and shows a
// sheet's header from its record or from the session.
#include <QGroupBox>
#include <vector>

#include "document/sheet_session.h"
#include "model/comtype.h"

class QComboBox;
class QPushButton;

namespace trevolo {

class TEdit;
class TSpinEdit;

class HeaderPanel : public QGroupBox {
    Q_OBJECT
public:
    HeaderPanel(SheetSession& session, QWidget* parent);

    // The panel's fields, for the window's focus colours and exit handling.
    std::vector<QWidget*> fields() const;

    // Shows the session's header: names, kind (with the limit fields it
    // uses), decimals and specification limits.
    void showHeader();
    // Shows the session's header after it was cleared, with the decimals of
    // the initial values.
    void showCleared(int decimals);
    // Shows the unit, the kind and the decimals of the initial values.
    void showSettings(const InitialValues& settings);
    // Enables the limit fields the kind uses; a field it does not use is
    // greyed out and emptied.
    void applySpecKind();

    QString label() const;
    void setLabel(const QString& text);
    bool isLabel(const QWidget* w) const;
    // Gives the focus to the field a command named; false for none of these.
    bool focus(SessionFocus f);
    void focusFirst();
    // The exit normalisation of a field of this panel being left: the
    // decimals bring the limits to them, a limit is brought to the
    // decimals (emptied when it is not a number). False for a field of
    // another panel.
    bool normalise(QWidget* field);

signals:
    void specKindChosen();
    void clearClicked();

private:
    void setupInput();
    void bindSession();

    SheetSession& session_;
    TEdit* editProduct;
    TEdit* editProcess;
    TEdit* editMbc;
    TEdit* editLabel;
    TEdit* editUnit;
    QComboBox* cmbSpecKind;
    TSpinEdit* spinKeta;
    TEdit* editKupper;
    TEdit* editKlower;
    QPushButton* btnSpecClear;
};

}  // namespace trevolo
