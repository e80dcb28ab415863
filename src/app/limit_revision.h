#pragma once
// "管理限界の改訂": an engineer revises the control limits of a sheet the
// plant store holds from a baseline of its lots (a range of lot rows, or the
// lots published in a time range), by the three-sigma or the coefficient
// method or typed, seeing the limits in force beside the proposed ones and
// how many of the baseline's lots the proposed limits would flag, and with a
// reason. The new set is in force from the server's now; earlier lots keep
// theirs, so the charts draw each lot against the set that was in force
// when it was published (the session's StoreOverlay::limits).
#include <QDialog>
#include <QObject>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/store_worker.h"
#include "document/sheet_session.h"
#include "store/store_records.h"

class QAction;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;

namespace trevolo {

class StoredSheet;
class TplStringGrid;

// How many lots of the baseline the limits flag by rule ①: a lot mean
// beyond the X chart's ±3σ lines or a spread (R, S or the moving range of
// the baseline's means, after the chart kind) above the spread chart's +3σ
// line. A line that is blank or no number flags nothing.
int CountOutsideThreeSigma(const LotSource& baseline, int chartKind,
                           const std::array<std::string, kLimitFields>& limits);

// The dialog: the baseline, the method, the two columns of limits, the
// count of flagged lots and the reason.
class LimitRevisionDialog : public QDialog {
    Q_OBJECT
public:
    struct BaselineLot {
        int row = 0;                   // lot row of the shown sheet
        std::int64_t publishedAt = 0;  // 0 when the row holds no stored lot
    };
    LimitRevisionDialog(const SheetSession& session, std::vector<BaselineLot> lots, int firstRow, int lastRow,
                        QWidget* parent);

    // The limits proposed (the eleven texts), complete or not.
    std::array<std::string, kLimitFields> proposed() const;
    // The method's text as the store keeps it.
    std::string methodText() const;
    std::string reason() const;

private:
    // The lot rows the baseline takes.
    std::vector<int> baselineRows() const;
    void recompute();
    void updateOk();

    const SheetSession& session_;
    std::vector<BaselineLot> lots_;
    QRadioButton* byLots_;
    QRadioButton* byTime_;
    QSpinBox* fromRow_;
    QSpinBox* toRow_;
    QDateTimeEdit* fromTime_;
    QDateTimeEdit* toTime_;
    QComboBox* method_;
    QTableWidget* table_;
    QLabel* flagged_;
    QLineEdit* reason_;
    QPushButton* ok_;
    bool filling_ = false;
};

class LimitRevisionController : public QObject, public SessionListener {
    Q_OBJECT
public:
    // Puts "管理限界の改訂" into menu. The store is read and written
    // through worker.
    LimitRevisionController(SheetSession& session, StoredSheet& stored, StoreWorker& worker, TplStringGrid* lots,
                            QMenu* menu, QWidget* boxParent);
    ~LimitRevisionController() override;

    void sessionChanged(unsigned what, int col, int row) override;

    // Reads the limit sets of the shown sheet's characteristic and the
    // publishing times of the lots a sheet can show, and whether the role
    // connected may revise. One reading at a time: a change told meanwhile
    // reads again after it, and what was read for a sheet no longer shown
    // is not applied.
    void refresh();
    // The charts take the set in force for each lot where it differs from
    // the limits the sheet shows (StoreOverlay::limits).
    void place();
    QAction* action() const { return action_; }
    // Reads the publishing times of the sheet's lots, shows the dialog and
    // stores the revision approved in it; the store's work is done on the
    // worker, under a busy cursor. False when the shown sheet is not stored
    // or a revision is under way already.
    bool revise();

private:
    struct Reading;
    void loaded(Reading reading);
    // The action enabled for an engineer on a stored sheet; else disabled
    // with the reason as its tooltip.
    void updateAction(const Reading& reading);
    // Shows the dialog on the lots read and posts the revision approved.
    void showDialog(const Characteristic& characteristic,
                    const std::vector<std::pair<std::string, std::int64_t>>& published);
    void revised(const Characteristic& characteristic, const LimitSet& set, const std::string& error);

    SheetSession& session_;
    StoredSheet& stored_;
    StoreWorker& worker_;
    TplStringGrid* lots_;
    QWidget* boxParent_;
    QAction* action_;
    // As read last: the sets, oldest effective first, and each stored
    // lot's id with its publishing time.
    std::vector<LimitSet> sets_;
    std::vector<std::pair<std::string, std::int64_t>> published_;
    DeferredRefresh deferred_{this, [this] { refresh(); }, [this] { place(); }};
    bool loading_ = false;
    bool again_ = false;
    bool revising_ = false;
};

}  // namespace trevolo
