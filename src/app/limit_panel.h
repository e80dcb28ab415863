#pragma once
// The control-limit panel of the main window ("管理限界値設定"): the chart
// kind, the limit method, the three-sigma button, the histogram's class
// count, and the eleven limit fields with the name field and check box of
// each visible line. It owns its controls, writes what they show into the
// session, and shows the session's limits.
#include <QGroupBox>
#include <vector>

#include "document/sheet_session.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QPushButton;

namespace trevolo {

class TEdit;
class TSpinEdit;

// What LimitPanel::showLimits writes to show every limit field.
inline constexpr int kEveryLimitField = -1;

class LimitPanel : public QGroupBox {
    Q_OBJECT
public:
    LimitPanel(SheetSession& session, QWidget* parent);

    // The panel's fields, for the window's focus colours and exit handling.
    std::vector<QWidget*> fields() const;

    int chartIndex() const;
    void setChartIndex(int index);
    // The limit method shown (the session holds it): 0 three sigma, 1 typed
    // limits. Quietly: without the change handler, the session told directly.
    void setMethod(int index, bool quietly = false);

    // A visible line 0..8: its check box, its automatic or manual state
    // (read-only on the button face with the automatic name, or editable
    // and white with the manual name), and the focus.
    bool lineChecked(int line) const;
    void setLineChecked(int line, bool on);
    void setLineState(int line, bool automatic);
    void focusLine(int line);
    // Every box set or cleared as the program does it: no line is computed
    // or focused for it, and the session holds what the boxes show.
    void setLinesCheckedQuietly(bool on);

    // Shows the session's chart kind, limit method, limits and lines, as a
    // sheet shown afresh has them; no handler of the panel runs.
    void showSession();

    // Writes the session's limits into their fields: every field
    // (kEveryLimitField), or one visible line with the two hidden R/S/Rs
    // lines.
    void showLimits(int line = kEveryLimitField);
    void showHiddenLines();
    // The R/S/Rs lines are named after the chart kind.
    void showChartKind(int kind);
    // The exit normalisation of a field of this panel being left; false for
    // a field of another panel.
    bool normalise(QWidget* field);

signals:
    void chartChosen();
    void methodChosen();
    void computeClicked();
    void lineToggled(int line);
    // The R/S/Rs centre or +3σ line was typed: the hidden lines follow.
    void rsLineTyped();

private:
    void createChoices(QGridLayout& lg);
    void createLines();
    void layOutLines(QGridLayout& lg);
    void setupInput();
    void bindSession();
    // A line's fields read-only on the button face (computed) or editable
    // and white (typed).
    void showLineLook(int line, bool automatic);
    TEdit* field(int f) const;
    TEdit* name(int line) const;
    QCheckBox* box(int line) const;
    bool isLimitField(const QWidget* w) const;

    SheetSession& session_;
    QComboBox* cmbChart;
    QComboBox* cmbLimit;
    QPushButton* btn3Stdev;
    TSpinEdit* spinBetWeen;
    TEdit* editUcl3;
    TEdit* editUcl2;
    TEdit* editUcl1;
    TEdit* editLcl3;
    TEdit* editLcl2;
    TEdit* editLcl1;
    TEdit* editXcl;
    TEdit* editRcl;
    TEdit* editRsUcl3;
    TEdit* editRsUcl2;
    TEdit* editRsUcl1;
    TEdit* itemUcl3;
    TEdit* itemUcl2;
    TEdit* itemUcl1;
    TEdit* itemLcl3;
    TEdit* itemLcl2;
    TEdit* itemLcl1;
    TEdit* itemXcl;
    TEdit* itemRcl;
    TEdit* itemRsUcl3;
    QCheckBox* cbUcl3;
    QCheckBox* cbUcl2;
    QCheckBox* cbUcl1;
    QCheckBox* cbLcl3;
    QCheckBox* cbLcl2;
    QCheckBox* cbLcl1;
    QCheckBox* cbXcl;
    QCheckBox* cbRcl;
    QCheckBox* cbRsUcl3;
};

}  // namespace trevolo
