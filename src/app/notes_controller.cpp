#include "app/notes_controller.h"

#include <QAbstractItemView>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <optional>
#include <utility>

#include "app/chart_page.h"
#include "app/prompts.h"
#include "app/store_worker.h"
#include "app/stored_sheet.h"
#include "app/stringgrid.h"
#include "model/number.h"
#include "store/plant_store.h"
#include "store/qt_text.h"

namespace trevolo {

namespace {

// The box asking for a note: a text of a few lines for one lot.
class NoteDialog : public QDialog {
public:
    NoteDialog(const QString& lot, QWidget* parent) : QDialog(parent)
    {
        setObjectName(QStringLiteral("NoteDialog"));
        setWindowTitle(QStringLiteral("メモを追加"));
        auto* v = new QVBoxLayout(this);
        v->addWidget(new QLabel(QStringLiteral("ロット %1 のメモ").arg(lot)));
        text_ = new QPlainTextEdit;
        text_->setObjectName(QStringLiteral("memoNote"));
        text_->setTabChangesFocus(true);
        v->addWidget(text_);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
        ok->setObjectName(QStringLiteral("btnNoteOk"));
        ok->setEnabled(false);
        connect(text_, &QPlainTextEdit::textChanged, this,
                [this, ok] { ok->setEnabled(!text_->toPlainText().trimmed().isEmpty()); });
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        v->addWidget(buttons);
        resize(360, 180);
    }
    QString text() const { return text_->toPlainText().trimmed(); }

private:
    QPlainTextEdit* text_;
};

}  // namespace

std::string NoteText(const LotNote& note)
{
    const QString when =
        QDateTime::fromMSecsSinceEpoch(note.writtenAt).toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
    return note.text + "（" + note.writtenBy + ", " + when.toStdString() + "）";
}

// What one reading of the store found for a characteristic.
struct NotesController::Reading {
    std::optional<Characteristic> characteristic;
    std::string where;
    bool read = false;
    std::vector<LotNote> notes;
};

NotesController::NotesController(SheetSession& session, StoredSheet& stored, StoreWorker& worker, ChartPage& charts,
                                 TplStringGrid* lots, QWidget* boxParent)
    : session_(session), stored_(stored), worker_(worker), lots_(lots), boxParent_(boxParent)
{
    charts.setPointMenu([this](QMenu& menu, int lotRow) { addMenuItem(menu, lotRow); });
    lots_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lots_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const QModelIndex at = lots_->indexAt(pos);
        if (!at.isValid())
            return;
        QMenu menu(lots_);
        addMenuItem(menu, at.row() + 1);
        menu.exec(lots_->viewport()->mapToGlobal(pos));
    });
    lots_->viewport()->installEventFilter(this);
    session_.addListener(this);
}

NotesController::~NotesController()
{
    session_.removeListener(this);
}

void NotesController::sessionChanged(unsigned what, int, int)
{
    // Another sheet: its notes are read. Lots renumbered or laid out again:
    // the stored lots may show in other rows.
    if (what & ChangedSheet)
        deferred_.schedule(true);
    else if (what & (ChangedLots | ChangedShape))
        deferred_.schedule(false);
}

void NotesController::refresh()
{
    if (loading_) {
        again_ = true;
        return;
    }
    const auto characteristic = stored_.storedCharacteristic();
    if (!characteristic) {
        notes_.clear();
        place();
        return;
    }
    loading_ = true;
    again_ = false;
    const StoreLocation where = stored_.storeLocation();
    worker_.post<Reading>(
        this,
        [where, characteristic](StoreConnection& connection) {
            Reading r{characteristic, where.text(), false, {}};
            std::string error;
            std::int64_t id = 0;
            if (PlantStore* store = connection.open(where, error)) {
                r.read = store->characteristicId(*characteristic, id) && store->notes(id, r.notes);
                if (!r.read)
                    connection.fail();
            }
            return r;
        },
        [this](Reading r) { loaded(std::move(r)); });
}

void NotesController::loaded(Reading r)
{
    loading_ = false;
    // Another sheet shown, or a change told, while the store was read.
    if (again_ || r.characteristic != stored_.storedCharacteristic() || r.where != stored_.storeLocation().text()) {
        refresh();
        return;
    }
    // A store that cannot be read now leaves the notes drawn as they are:
    // the next change it tells of reads them again.
    if (!r.read)
        return;
    notes_ = std::move(r.notes);
    place();
}

void NotesController::place()
{
    std::vector<std::vector<std::string>> rows;
    for (const LotNote& n : notes_) {
        const int row = stored_.rowOfStoredLot(n.lotId);
        if (row < 1)
            continue;
        if (rows.size() < static_cast<size_t>(row))
            rows.resize(static_cast<size_t>(row));
        rows[static_cast<size_t>(row - 1)].push_back(NoteText(n));
    }
    if (rows == session_.storeOverlay().notes)
        return;
    StoreOverlay o = session_.storeOverlay();
    o.notes = std::move(rows);
    session_.setStoreOverlay(std::move(o));
}

QString NotesController::lotToolTip(int lotRow) const
{
    const auto& notes = session_.storeOverlay().notes;
    if (lotRow < 1 || static_cast<size_t>(lotRow) > notes.size())
        return QString();
    QStringList lines;
    for (const std::string& n : notes[static_cast<size_t>(lotRow - 1)])
        lines << ToQString(n);
    return lines.join(QLatin1Char('\n'));
}

void NotesController::addMenuItem(QMenu& menu, int lotRow)
{
    QAction* a = menu.addAction(QStringLiteral("メモを追加"));
    a->setObjectName(QStringLiteral("popMenuAddNote"));
    a->setEnabled(lotRow >= 1 && !stored_.storedLotId(lotRow).empty());
    connect(a, &QAction::triggered, this, [this, lotRow] { addNote(lotRow); });
}

bool NotesController::addNote(int lotRow)
{
    const std::string lotId = lotRow >= 1 ? stored_.storedLotId(lotRow) : std::string();
    if (lotId.empty())
        return false;
    NoteDialog dialog(ToQString(session_.lotCells().text(0, lotRow)), boxParent_);
    if (dialog.exec() != QDialog::Accepted || dialog.text().isEmpty())
        return false;
    const StoreLocation where = stored_.storeLocation();
    const std::string text = dialog.text().toStdString();
    worker_.post<std::string>(
        this,
        [where, lotId, text](StoreConnection& connection) {
            std::string error;
            PlantStore* store = connection.open(where, error);
            if (store && !store->addNote(lotId, text))
                error = connection.fail();
            return error;
        },
        [this](std::string error) {
            if (!error.empty())
                Prompts::current().message(boxParent_, QString::fromUtf8(kWarningCaption),
                                           QStringLiteral("メモを保存できませんでした。\n") + ToQString(error));
            else
                refresh();
        });
    return true;
}

bool NotesController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lots_->viewport() && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex at = lots_->indexAt(help->pos());
        // The label cell tells the lot's notes; the switch keeps no tip.
        const QString tip = at.isValid() && at.column() == 0 ? lotToolTip(at.row() + 1) : QString();
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip, lots_->viewport(), lots_->visualRect(at));
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace trevolo
