#pragma once
// Notes on the lots of a sheet the plant store holds: "メモを追加" on a
// point of the X chart and on a row of the lot table stores a note for that
// lot; the notes of the shown sheet's lots are read from the store when a
// sheet is shown and whenever the store tells of a change (through the
// window's store worker, never on the window's thread), drawn as flags
// on the charts (the session's StoreOverlay::notes) and shown as the lot
// label's tooltip. Notes add no column: the tables and the spreadsheet
// reports keep their layout.
#include <QObject>
#include <QString>
#include <string>
#include <vector>

#include "app/store_worker.h"
#include "document/sheet_session.h"
#include "store/store_records.h"

class QMenu;
class QWidget;

namespace trevolo {

class ChartPage;
class StoredSheet;
class TplStringGrid;

// A note as the charts and the tooltip show it: "text（who, time）", the
// time in the station's local time to the minute.
std::string NoteText(const LotNote& note);

class NotesController : public QObject, public SessionListener {
    Q_OBJECT
public:
    NotesController(SheetSession& session, StoredSheet& stored, StoreWorker& worker, ChartPage& charts,
                    TplStringGrid* lots, QWidget* boxParent);
    ~NotesController() override;

    void sessionChanged(unsigned what, int col, int row) override;

    // Reads the shown sheet's notes from the store into the charts and the
    // lot labels' tooltips; a sheet the store does not hold has none. One
    // reading at a time: a change told meanwhile reads again after it, and
    // notes read for a sheet no longer shown are not drawn.
    void refresh();
    // The notes read last put on the rows that show their lots now.
    void place();
    // The tooltip of a lot row's label: its notes, one a line; empty when
    // it has none.
    QString lotToolTip(int lotRow) const;
    // Adds "メモを追加" for a lot row to a menu, disabled when the row holds
    // no stored lot.
    void addMenuItem(QMenu& menu, int lotRow);
    // Asks for a note's text and sends it to the store for the lot of a
    // row; false when nothing was sent (no stored lot, cancelled, blank).
    // When the store refuses, a box tells why once it has answered.
    bool addNote(int lotRow);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Reading;
    void loaded(Reading reading);

    SheetSession& session_;
    StoredSheet& stored_;
    StoreWorker& worker_;
    TplStringGrid* lots_;
    QWidget* boxParent_;
    // The notes of the followed characteristic as read last, oldest first.
    std::vector<LotNote> notes_;
    DeferredRefresh deferred_{this, [this] { refresh(); }, [this] { place(); }};
    bool loading_ = false;
    bool again_ = false;
};

}  // namespace trevolo
