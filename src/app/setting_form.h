#pragma once
// The initial-values dialog "各種初期値設定": the sheet count, lot count and
// n of a reset and of new sheets, the unit, specification kind and decimals
// of new sheets, the Cp/Cpk marking, the chart kind and the limit method.
// Every showing starts from the values handed in; only OK writes them back.
#include <QDialog>

#include "model/comtype.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace trevolo {

class TEdit;
class TSpinEdit;

class TSettingForm : public QDialog {
    Q_OBJECT
public:
    explicit TSettingForm(QWidget* parent = nullptr);

    // Shows the dialog modally, filled from settings. On OK the confirmed
    // values are written into settings and true is returned; on Cancel
    // settings is left untouched and false is returned.
    bool execFor(InitialValues& settings);

    // The values the dialog was filled from; after OK, the confirmed ones.
    const InitialValues& settings() const { return settings_; }
    // The values to fill the dialog from when it is shown without execFor
    // (the manual's screenshots).
    void setSettings(const InitialValues& s) { settings_ = s; }

    // The fields and the buttons, named as the program knows them.
    TSpinEdit* spinTab;
    TSpinEdit* spinRow;
    TSpinEdit* spinCol;
    TEdit* editUnit;
    QComboBox* cmbSpecKind;
    TSpinEdit* spinKeta;
    QCheckBox* chkCpCpk;
    QComboBox* cmbCpCpk;
    TEdit* editCpCpk;
    QComboBox* cmbChart;
    QComboBox* cmbLimit;
    QPushButton* btnOk;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Handlers.
    void FormCreate();
    // Fills the controls from settings() in the fixed order and gives the
    // focus to the sheet count.
    void FormShow();
    // The dialog sees keys first: Enter moves to the next control (a focused
    // button is pressed instead), Esc presses Cancel. True when used up.
    bool FormKeyPress(QKeyEvent* e);
    void Set_OnColor(QWidget* field);
    // White again, then the field's value is normalised: spin fields are
    // clamped into their range (empty or "0" gives the minimum), the
    // threshold is rewritten with two decimals ("1.33" when not a number).
    void Set_OffColor(QWidget* field);
    void chkCpCpkClick();
    void spinColChange();
    void cmbChartChange();
    void btnOkClick();
    void btnCancelClick();

    bool isField(const QWidget* w) const;
    void setComboColor(QComboBox* box, const QColor& c);

    // The frames and captions around the fields.
    QGroupBox* grpSize;
    QLabel* lblTab;
    QLabel* lblRow;
    QLabel* lblCol;
    QGroupBox* grpSpec;
    QLabel* lblUnit;
    QLabel* lblSpecKind;
    QLabel* lblKeta;
    QGroupBox* grpCpCpk;
    QLabel* pnlCpCpk;
    QGroupBox* grpChart;
    QLabel* lblChart;
    QLabel* lblLimit;

    InitialValues settings_;
};

}  // namespace trevolo
