#pragma once
// The rule-settings dialog: switches the eight SPC rules on and off and picks
// the run lengths and counts of rules 2 to 8 from fixed lists. Every showing
// starts from the options handed in; only OK writes them back.
#include <QDialog>
#include <array>

#include "model/comtype.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace trevolo {

class TOptionForm : public QDialog {
    Q_OBJECT

public:
    explicit TOptionForm(QWidget* parent = nullptr);

    // Shows the dialog modally, filled from options. On OK the options the
    // user confirmed are written into options and true is returned; on
    // Cancel (button, Esc) options is left untouched and false is returned.
    bool execFor(RuleOptions& options);

    // Fills the controls from options (check boxes, list selections; a list
    // whose value is not one of its items shows no selection).
    void FormShow(const RuleOptions& options);
    // The options confirmed by the last OK (valid after execFor returned true
    // or after btnOkClick accepted the dialog).
    const RuleOptions& options() const { return options_; }

    // Selects the usual item of each of the nine lists; the check boxes stay.
    void btnDefaultClick();
    // Checks the lists (the message "設定値が異常です。見直してください…"
    // and the focus on the list to correct when they are not acceptable),
    // then takes the options from the controls and closes with OK.
    void btnOkClick();
    // Closes with Cancel; nothing is taken.
    void btnCancelClick();

    // The dialog's buttons: OK, Cancel and "初期値に戻す".
    QPushButton *btnOk = nullptr, *btnCancel = nullptr, *btnDefault = nullptr;

    // The check box of rule 1..8 and the list of a RuleList index.
    QCheckBox* checkBox(int rule) const { return checks_[static_cast<size_t>(rule - 1)]; }
    QComboBox* list(int index) const { return lists_[static_cast<size_t>(index)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The controls, named as the program knows them.
    QGroupBox* GroupBox1 = nullptr;
    QCheckBox *CheckBox1 = nullptr, *CheckBox2 = nullptr, *CheckBox3 = nullptr, *CheckBox4 = nullptr,
              *CheckBox5 = nullptr, *CheckBox6 = nullptr, *CheckBox7 = nullptr, *CheckBox8 = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label5 = nullptr,
           *Label6 = nullptr, *Label7 = nullptr, *Label8 = nullptr;
    QComboBox *cmbOption2 = nullptr, *cmbOption3 = nullptr, *cmbOption4 = nullptr, *cmbOption5_1 = nullptr,
              *cmbOption5_2 = nullptr, *cmbOption6_1 = nullptr, *cmbOption6_2 = nullptr, *cmbOption7 = nullptr,
              *cmbOption8 = nullptr;

    // Focus colours of the lists: yellow while focused, white otherwise.
    void cmbOption2Enter(QComboBox* box);
    void cmbOption2Exit(QComboBox* box);
    // The options as the controls show them; a list without a selection
    // gives 0, which no list offers.
    RuleOptions fromControls() const;

    std::array<QCheckBox*, 8> checks_{};
    std::array<QLabel*, 8> labels_{};
    std::array<QComboBox*, 9> lists_{};
    RuleOptions options_;
};

}  // namespace trevolo
