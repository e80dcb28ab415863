#pragma once
// The plant store in the window: "工場データベースへ送信" publishes the shown
// sheet or every sheet off the window's thread, "工場データベースから開く"
// brings a characteristic's newest lots with the limits in force into the
// shown sheet and follows the lots other stations publish for it, and the
// status bar tells how many lots wait in the station's outbox. The server
// is set in "工場データベース設定"; without one the store is a file in the
// user's data folder. The view also answers the window's plant parts which
// characteristic and stored lots the shown sheet holds, and tells them when
// the store changed for it.
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/stored_sheet.h"
#include "document/workbook.h"
#include "store/store_engine.h"
#include "store/store_records.h"

class QAction;
class QLabel;
class QMenu;
class QSettings;
class QStatusBar;
class QThread;
class QWidget;

namespace trevolo {

class LiveFeed;
class OutboxForwarder;
struct PublishReport;

// What the plant store needs from the window that shows the workbook.
class StoreHost {
public:
    virtual ~StoreHost() = default;
    // The sheet whose tab is selected, or -1 when none is.
    virtual int selectedTab() const = 0;
    // A save point: what is being typed is taken and the shown sheet is
    // written into its record.
    virtual void storeShownSheet() = 0;
    // The window the store's boxes and dialogs belong to.
    virtual QWidget* promptParent() = 0;
    // The page of the shown sheet in front, kept while the live view
    // rewrites the sheet.
    virtual int currentPage() const = 0;
    virtual void setCurrentPage(int page) = 0;
};

class PlantStoreView : public QObject, public WorkbookListener, public SessionListener, public StoredSheet {
    Q_OBJECT
public:
    // The window's parts the store's commands and outbox count go into.
    struct WindowParts {
        QMenu* fileMenu;  // publishing and opening, before fileBefore
        QAction* fileBefore;
        QMenu* settingMenu;     // the server's settings
        QStatusBar* statusBar;  // the outbox count, shown while lots wait
    };
    // Adds the commands to the window's File and Setting menus and the
    // outbox count to its status bar; the server comes from settings. The
    // view publishes from and opens into book, whose shown sheet is session.
    PlantStoreView(Workbook& book, SheetSession& session, StoreHost& host, QSettings* settings, WindowParts parts,
                   QObject* parent);
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
    void sessionChanged(unsigned what, int col, int row) override;

    // The shown sheet in the store: the live sheet's characteristic, or
    // that of a sheet this run published.
    std::optional<Characteristic> storedCharacteristic() const override;
    StoreLocation storeLocation() const override { return location(); }
    std::string storedLotId(int row) const override;
    int rowOfStoredLot(const std::string& id) const override;

signals:
    // The followed characteristic changed in the store (lots, alarms,
    // answers, notes, limit sets, rule settings, lists), or another
    // characteristic (or none) is followed; on the window's thread.
    void storeChanged();

private:
    struct Live {
        int sheet = -1;
        Characteristic characteristic;
        LotHistory history;
    };

    // The sheets "送信" takes: the shown one, or with all every sheet.
    std::vector<int> sheetsToPublish(bool all) const;
    // The shown sheet's limits as a limit set when they are set and differ
    // from those last sent for its characteristic (remembered under key,
    // to be forgotten when the set does not reach the store).
    std::optional<LimitSet> limitsToSend(std::string& key);
    // Tells the outcome of publishing in a box.
    void tellPublished(const PublishReport& report, bool written, const std::string& limitError);
    // A box with the caption given (kGuideCaption, kWarningCaption).
    void tell(const char* caption, const QString& text);
    void openClicked();
    void settingsClicked();
    // The lots that arrived live, on the window's thread.
    void arrived(const std::vector<StoredLot>& lots);
    // Shows a history in sheet index with the limits given (typed).
    void showHistory(int index, const LotHistory& history, const LimitSet* limits);
    void startFeed();
    void stopFeed();
    // Follows the shown sheet when it is a published one (not the live
    // sheet, whose feed tells its changes), and tells the window's parts.
    void follow();
    void stopWatchFeed(bool wait = false);
    // Runs work on the feeds' thread, made on first use.
    void onFeedThread(std::function<void()> work, bool wait = false);
    // Tells storeChanged once for the changes of one turn of the event loop.
    void announce();
    void startForwarder();
    void showWaiting(long long waiting);
    // When a server refused for want of a password, asks for it and keeps
    // it for this run (true when one was given).
    bool askPassword(const std::string& error);
    std::string scopeOf(int sheet);

    Workbook& book_;
    SheetSession& session_;
    StoreHost& host_;
    QSettings* settings_;
    QStatusBar* statusBar_;
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
    // The stored lot ids of the rows (from 0) of the sheets this run
    // published, by sheet, for sheets that were not opened from the store.
    std::map<int, std::vector<std::string>> publishedIds_;
    QThread* feedThread_ = nullptr;
    QObject* feedHost_ = nullptr;
    std::unique_ptr<LiveFeed> feed_;
    // The feed of a shown published sheet, and what it follows.
    std::unique_ptr<LiveFeed> watchFeed_;
    std::optional<Characteristic> watched_;
    bool announcing_ = false;
    std::unique_ptr<OutboxForwarder> forwarder_;
};

}  // namespace trevolo
