#pragma once
// The first three pages of the main window's page control: measurement
// entry with the specification judgment, the statistics with Cp/Cpk, and
// the SPC judgment. Each owns its buttons, verdict panel and fields; its
// table is a view over the session's cell store, which the window's table
// commands (entry, clipboard, drawing, reports) work on.
#include <QWidget>
#include <vector>

#include "document/sheet_session.h"
#include "model/comtype.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace trevolo {

class StringGrid;
class TplStringGrid;
class TEdit;

// Page "測定値入力＆規格判定": the lot table beside the measurement table.
class EntryPage : public QWidget {
    Q_OBJECT
public:
    EntryPage(SheetSession& session, QWidget* parent);
    TplStringGrid* lotTable() const { return gridCtrl; }
    StringGrid* valueTable() const { return gridEdit; }
    void showVerdict(const char* text);

signals:
    void allOnClicked();
    void lotEditClicked();
    void specJudgClicked();
    void randomClicked();

private:
    QPushButton* btnAllOn;
    QPushButton* btnLotEdit;
    QPushButton* btnSpecJudg;
    QLabel* pnlSpecJudg;
    QPushButton* btnRandom;
    TplStringGrid* gridCtrl;
    StringGrid* gridEdit;
};

// Page "CP-CPK不良率判定": the statistics table and the red-marking threshold.
class CapabilityPage : public QWidget {
    Q_OBJECT
public:
    CapabilityPage(SheetSession& session, QWidget* parent);
    StringGrid* table() const { return gridCalc; }
    std::vector<QWidget*> fields() const;
    void showVerdict(const char* text);
    // The threshold as the initial values set it.
    void showSettings(const InitialValues& settings);
    // The session's threshold shown, with no handler of the page running.
    void showThreshold();
    // The list and the field grey out while the marking is off.
    void applyThreshold();
    // The exit normalisation of the threshold field; false for another field.
    bool normalise(QWidget* field);

signals:
    void cpkCalcClicked();
    void thresholdToggled();
    void thresholdKindChosen();

private:
    SheetSession& session_;
    QPushButton* btnCpkCalc;
    QLabel* pnlCpkJudg;
    QCheckBox* chkCpCpk;
    QComboBox* cmbCpCpk;
    TEdit* editCpCpk;
    QLabel* pnlCpCpk;
    StringGrid* gridCalc;
};

// Page "SPC異常判定": the SPC table.
class SpcPage : public QWidget {
    Q_OBJECT
public:
    SpcPage(SheetSession& session, QWidget* parent);
    StringGrid* table() const { return gridSpc; }
    void showVerdict(const char* text);

signals:
    void spcJudgClicked();

private:
    QPushButton* btnSpcJudg;
    QLabel* pnlSpcJudg;
    StringGrid* gridSpc;
};

}  // namespace trevolo
