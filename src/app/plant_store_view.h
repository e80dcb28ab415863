#pragma once
// The plant store in the window: "工場データベースへ送信" publishes the shown
// sheet or every sheet off the window's thread, "工場データベースから開く"
// brings a characteristic's newest lots with the limits in force into the
// shown sheet and follows the lots other stations publish for it, and the
// status bar tells how many lots wait in the station's outbox. The server
// is set in "工場データベース設定"; without one the store is a file in the
// user's data folder.
#include <QObject>
#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/workbook.h"
#include "store/store_engine.h"
#include "store/store_records.h"

class QAction;
class QLabel;
class QMenu;
class QSettings;
class QThread;

namespace trevolo {

class LiveFeed;
class OutboxForwarder;
class TMainForm;

class PlantStoreView : public QObject, public WorkbookListener {
    Q_OBJECT
public:
    // Adds the commands to the window's File and Setting menus and the
    // outbox count to its status bar; the server comes from settings.
    PlantStoreView(TMainForm* form, QSettings* settings, QMenu* fileMenu, QAction* fileBefore, QMenu* settingMenu);
    ~PlantStoreView() override;

    // The store the settings name: the server, or the embedded file.
    StoreLocation location() const;
    // The station's outbox file (tests point it elsewhere).
    void setOutboxPath(std::string path);
    const std::string& outboxPath() const { return outboxPath_; }

    // Publishes the shown sheet, or with all every sheet; the window waits
    // with a progress bar while a worker thread sends, and is told the
    // outcome in a box.
    void publish(bool all);
    // Opens the newest lots of a characteristic into the shown sheet (an
    // undoable import) and follows it live while that sheet is shown.
    bool open(const Characteristic& characteristic);
    // The sheet followed live, or -1.
    int liveSheet() const { return live_ ? live_->sheet : -1; }

    void workbookChanged(unsigned what, int first, int last) override;

private:
    struct Live {
        int sheet = -1;
        Characteristic characteristic;
        LotHistory history;
    };

    void openClicked();
    void settingsClicked();
    // The lots that arrived live, on the window's thread.
    void arrived(const std::vector<StoredLot>& lots);
    // Shows a history in sheet index with the limits given (typed).
    void showHistory(int index, const LotHistory& history, const LimitSet* limits);
    void startFeed();
    void stopFeed();
    void startForwarder();
    void showWaiting(long long waiting);
    // When a server refused for want of a password, asks for it and keeps
    // it for this run (true when one was given).
    bool askPassword(const std::string& error);
    std::string scopeOf(int sheet);

    TMainForm* form_;
    QSettings* settings_;
    std::string outboxPath_;
    QLabel* pending_ = nullptr;
    std::optional<Live> live_;
    // Set while the live view writes its own sheet.
    bool applying_ = false;
    // The lots of each sheet a station publishes are kept apart from those
    // of its other sheets of the same characteristic by a scope per sheet.
    std::map<int, std::string> scopes_;
    // The limit sets already sent, by characteristic, so an unchanged set
    // is not sent again.
    std::map<std::string, std::string> limitsSent_;
    QThread* feedThread_ = nullptr;
    QObject* feedHost_ = nullptr;
    std::unique_ptr<LiveFeed> feed_;
    std::unique_ptr<OutboxForwarder> forwarder_;
};

}  // namespace trevolo
