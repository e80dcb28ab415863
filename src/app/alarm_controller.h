#pragma once
// The plant's alarms in the window: the bar above the pages tells how many
// alarms of the shown sheet's characteristic wait for an answer
// ("未対応のアラーム N 件") and opens their list, where "対応を記録" answers
// one; the open alarms' marks go onto the charts' lots; and the engineer
// keeps the cause and action lists ("原因・処置リスト", Setting menu). The
// store is read and written through the window's store worker, so the
// window stays responsive while a server answers.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "store/store_engine.h"
#include "store/store_records.h"

class QAction;
class QMenu;
class QPushButton;
class QWidget;

namespace trevolo {

class AlarmListDialog;
class SheetSession;
class StoreConnection;
class StoreWorker;
class StoredSheet;

class AlarmController : public QObject {
    Q_OBJECT
public:
    struct Parts {
        QWidget* window;     // the parent of the bar, the dialogs and the boxes
        QMenu* settingMenu;  // takes "原因・処置リスト"
    };
    // Follows the characteristic sheet names; the marks go into session's
    // store overlay. The store is read and written through worker.
    AlarmController(StoredSheet& sheet, SheetSession& session, StoreWorker& worker, Parts parts, QObject* parent);
    ~AlarmController() override;

    // The bar, for the window to place above its pages.
    QPushButton* bar() const { return bar_; }
    // Reads the followed characteristic's alarms, the lists and the role's
    // rights again (the store changed, or another sheet is shown).
    void refresh();
    // Opens the list of alarms (the bar's click).
    void showList();
    // Asks for the answer to an alarm and stores it.
    void answer(std::int64_t alarmSeq);
    // Opens the editor of the cause and action lists (the engineer's).
    void editReasonLists();

    // The open alarms the bar counts.
    int openCount() const;

private:
    struct Snapshot;
    struct Labels;

    // Reads what the controller shows of a characteristic; on the worker's
    // thread.
    static std::shared_ptr<Snapshot> read(StoreConnection& connection, Labels& labels, const StoreLocation& where,
                                          const std::optional<Characteristic>& c);
    void loaded(std::shared_ptr<Snapshot> snapshot);
    void showBar();
    void showMarks();
    void showRights();
    void fillList();
    void tell(const std::string& error);

    StoredSheet& sheet_;
    SheetSession& session_;
    QWidget* window_;
    QPushButton* bar_ = nullptr;
    QAction* reasonLists_ = nullptr;
    AlarmListDialog* list_ = nullptr;
    StoreWorker& worker_;
    // The labels of the followed characteristic's lots, touched only by
    // the jobs on the worker's thread (one reading at a time).
    std::shared_ptr<Labels> labels_;
    std::shared_ptr<Snapshot> snapshot_;
    bool loading_ = false;
    bool again_ = false;
};

}  // namespace trevolo
