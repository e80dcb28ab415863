#include "app/limit_revision.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/prompts.h"
#include "app/store_worker.h"
#include "app/stored_sheet.h"
#include "app/stringgrid.h"
#include "model/comtype.h"
#include "model/number.h"
#include "stats/control_limits.h"
#include "store/plant_store.h"
#include "store/qt_text.h"

namespace trevolo {

namespace {

// The lines of the limit table, in the order of LimitField.
constexpr std::array<const char*, kLimitFields> kLineCaptions = {
    "X ＋３σ",  "X ＋２σ",       "X ＋１σ",      "X －３σ",      "X －２σ",     "X －１σ",
    "X 中心線", "R/S/Rs 中心線", "R/S/Rs ＋３σ", "R/S/Rs ＋２σ", "R/S/Rs ＋１σ"};

std::optional<double> Number(const std::string& text)
{
    double v = 0;
    if (!TryStrToFloat(text, v))
        return std::nullopt;
    return v;
}

QDateTime LocalTime(std::int64_t ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toLocalTime();
}

}  // namespace

int CountOutsideThreeSigma(const LotSource& baseline, int chartKind,
                           const std::array<std::string, kLimitFields>& limits)
{
    const auto upper = Number(limits[LimitUcl3]);
    const auto lower = Number(limits[LimitLcl3]);
    const auto spreadUpper = Number(limits[LimitRsUcl3]);
    int flagged = 0;
    std::optional<double> previousMean;
    std::vector<double> values;
    for (int lot = 0; lot < baseline.lotCount(); ++lot) {
        if (!baseline.enabled(lot) || baseline.readLot(lot, values) || values.empty())
            continue;
        double sum = 0;
        for (double v : values)
            sum += v;
        const double mean = sum / static_cast<double>(values.size());
        double spread = 0;
        if (chartKind == ChartXRs) {
            spread = previousMean ? std::abs(mean - *previousMean) : 0;
        } else if (chartKind == ChartXbarS) {
            double sq = 0;
            for (double v : values)
                sq += (v - mean) * (v - mean);
            spread = values.size() > 1 ? std::sqrt(sq / static_cast<double>(values.size() - 1)) : 0;
        } else {
            const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
            spread = *hi - *lo;
        }
        previousMean = mean;
        if ((upper && mean > *upper) || (lower && mean < *lower) || (spreadUpper && spread > *spreadUpper))
            ++flagged;
    }
    return flagged;
}

// ---- the dialog ----

LimitRevisionDialog::LimitRevisionDialog(const SheetSession& session, std::vector<BaselineLot> lots, int firstRow,
                                         int lastRow, QWidget* parent)
    : QDialog(parent), session_(session), lots_(std::move(lots))
{
    setObjectName(QStringLiteral("LimitRevisionDialog"));
    setWindowTitle(QStringLiteral("管理限界の改訂"));
    auto* v = new QVBoxLayout(this);

    // The baseline: lot rows, or the lots published between two times.
    auto* base = new QGridLayout;
    byLots_ = new QRadioButton(QStringLiteral("ロット範囲"));
    byLots_->setObjectName(QStringLiteral("radioBaselineLots"));
    byTime_ = new QRadioButton(QStringLiteral("期間"));
    byTime_->setObjectName(QStringLiteral("radioBaselineTime"));
    auto* group = new QButtonGroup(this);
    group->addButton(byLots_);
    group->addButton(byTime_);
    byLots_->setChecked(true);
    const int rows = std::max(1, session_.lots());
    fromRow_ = new QSpinBox;
    fromRow_->setObjectName(QStringLiteral("spinBaselineFrom"));
    toRow_ = new QSpinBox;
    toRow_->setObjectName(QStringLiteral("spinBaselineTo"));
    for (QSpinBox* s : {fromRow_, toRow_})
        s->setRange(1, rows);
    fromRow_->setValue(std::clamp(firstRow, 1, rows));
    toRow_->setValue(std::clamp(lastRow, 1, rows));
    std::int64_t first = 0, last = 0;
    for (const BaselineLot& l : lots_)
        if (l.publishedAt > 0) {
            first = first ? std::min(first, l.publishedAt) : l.publishedAt;
            last = std::max(last, l.publishedAt);
        }
    fromTime_ = new QDateTimeEdit(first ? LocalTime(first) : QDateTime::currentDateTime());
    fromTime_->setObjectName(QStringLiteral("dateBaselineFrom"));
    toTime_ = new QDateTimeEdit(last ? LocalTime(last) : QDateTime::currentDateTime());
    toTime_->setObjectName(QStringLiteral("dateBaselineTo"));
    for (QDateTimeEdit* e : {fromTime_, toTime_})
        e->setDisplayFormat(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    base->addWidget(byLots_, 0, 0);
    base->addWidget(fromRow_, 0, 1);
    base->addWidget(new QLabel(QStringLiteral("～")), 0, 2);
    base->addWidget(toRow_, 0, 3);
    base->addWidget(byTime_, 1, 0);
    base->addWidget(fromTime_, 1, 1);
    base->addWidget(new QLabel(QStringLiteral("～")), 1, 2);
    base->addWidget(toTime_, 1, 3);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("基準"), base);
    method_ = new QComboBox;
    method_->setObjectName(QStringLiteral("cmbRevisionMethod"));
    // The items in the order of LimitMethod, as the limit panel lists them.
    for (const char* m : kLimitTexts)
        method_->addItem(QString::fromUtf8(m));
    form->addRow(QStringLiteral("算出方法"), method_);
    v->addLayout(form);

    table_ = new QTableWidget(kLimitFields, 2);
    table_->setObjectName(QStringLiteral("gridRevision"));
    table_->setHorizontalHeaderLabels({QStringLiteral("現在"), QStringLiteral("改訂案")});
    QStringList captions;
    for (const char* c : kLineCaptions)
        captions << QString::fromUtf8(c);
    table_->setVerticalHeaderLabels(captions);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int f = 0; f < kLimitFields; ++f) {
        auto* now = new QTableWidgetItem(ToQString(session_.limit(f)));
        now->setFlags(Qt::ItemIsEnabled);
        table_->setItem(f, 0, now);
        table_->setItem(f, 1, new QTableWidgetItem);
    }
    v->addWidget(table_);
    flagged_ = new QLabel;
    flagged_->setObjectName(QStringLiteral("lblRevisionFlagged"));
    flagged_->setWordWrap(true);
    v->addWidget(flagged_);

    auto* reasonRow = new QFormLayout;
    reason_ = new QLineEdit;
    reason_->setObjectName(QStringLiteral("editRevisionReason"));
    reasonRow->addRow(QStringLiteral("理由"), reason_);
    v->addLayout(reasonRow);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    ok_ = buttons->addButton(QStringLiteral("改訂"), QDialogButtonBox::AcceptRole);
    ok_->setObjectName(QStringLiteral("btnReviseLimits"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(buttons);

    for (QSpinBox* s : {fromRow_, toRow_})
        connect(s, &QSpinBox::valueChanged, this, &LimitRevisionDialog::recompute);
    for (QDateTimeEdit* e : {fromTime_, toTime_})
        connect(e, &QDateTimeEdit::dateTimeChanged, this, &LimitRevisionDialog::recompute);
    connect(byLots_, &QRadioButton::toggled, this, &LimitRevisionDialog::recompute);
    connect(method_, &QComboBox::currentIndexChanged, this, &LimitRevisionDialog::recompute);
    connect(table_, &QTableWidget::itemChanged, this, [this] {
        if (!filling_)
            updateOk();
    });
    connect(reason_, &QLineEdit::textChanged, this, &LimitRevisionDialog::updateOk);
    recompute();
    resize(520, 560);
}

std::vector<int> LimitRevisionDialog::baselineRows() const
{
    std::vector<int> rows;
    if (byLots_->isChecked()) {
        for (int r = std::min(fromRow_->value(), toRow_->value()); r <= std::max(fromRow_->value(), toRow_->value());
             ++r)
            rows.push_back(r);
        return rows;
    }
    const std::int64_t from = fromTime_->dateTime().toMSecsSinceEpoch();
    // The end's whole second counts: the field shows no milliseconds.
    const std::int64_t to = toTime_->dateTime().toMSecsSinceEpoch() + 999;
    for (const BaselineLot& l : lots_)
        if (l.publishedAt > 0 && l.publishedAt >= from && l.publishedAt <= to)
            rows.push_back(l.row);
    std::sort(rows.begin(), rows.end());
    return rows;
}

void LimitRevisionDialog::recompute()
{
    fromRow_->setEnabled(byLots_->isChecked());
    toRow_->setEnabled(byLots_->isChecked());
    fromTime_->setEnabled(byTime_->isChecked());
    toTime_->setEnabled(byTime_->isChecked());
    const auto method = LimitMethodOfIndex(method_->currentIndex());
    std::vector<Lot> lots;
    const GridLots sheet(session_.lotCells(), session_.valueCells(), session_.lots(), session_.columns());
    for (int row : baselineRows()) {
        if (row < 1 || row > sheet.lotCount())
            continue;
        Lot lot{std::string(sheet.label(row - 1)), sheet.enabled(row - 1), {}};
        for (int c = 0; c < sheet.columnCount(); ++c)
            lot.cells.emplace_back(sheet.cell(row - 1, c));
        lots.push_back(std::move(lot));
    }
    const LotTable baseline(std::move(lots), session_.columns());
    const int chartKind = IndexOf(session_.chartKind());

    filling_ = true;
    QString problem;
    if (method == LimitMethod::Typed) {
        // Typed limits start from those in force and are edited in place.
        for (int f = 0; f < kLimitFields; ++f) {
            QTableWidgetItem* item = table_->item(f, 1);
            if (item->text().isEmpty())
                item->setText(ToQString(session_.limit(f)));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsSelectable);
        }
    } else {
        const ControlLimitResult r = ComputeLimits(baseline, chartKind, IndexOf(method));
        for (int f = 0; f < kLimitFields; ++f) {
            QTableWidgetItem* item = table_->item(f, 1);
            item->setText(r.computed ? ToQString(r.texts[static_cast<size_t>(f)]) : QString());
            item->setFlags(Qt::ItemIsEnabled);
        }
        if (r.stop)
            problem = ToQString(*r.stop);
        else if (r.error)
            problem = ToQString(r.error->message());
        else if (!r.computed)
            problem = QStringLiteral("基準のデータが2個以上必要です。");
    }
    filling_ = false;
    if (!problem.isEmpty()) {
        flagged_->setText(problem);
    } else {
        int takingPart = 0;
        for (int lot = 0; lot < baseline.lotCount(); ++lot)
            takingPart += baseline.enabled(lot) && baseline.filledCount(lot) > 0;
        const int n = CountOutsideThreeSigma(baseline, chartKind, proposed());
        flagged_->setText(QStringLiteral("基準の %1 ロットのうち、改訂案で異常となるロット: %2 件"
                                         "（ルール①: X管理図の±3σ線、%3管理図の＋3σ線の外）")
                              .arg(takingPart)
                              .arg(n)
                              .arg(QString::fromUtf8(SpreadSideName(chartKind))));
    }
    updateOk();
}

void LimitRevisionDialog::updateOk()
{
    // The ±3σ lines and the centre lines must be numbers, any other line
    // a number or blank (the hidden +2σ and +1σ lines may stay blank, as
    // they may on the sheet).
    bool complete = true;
    const auto p = proposed();
    for (int f : {LimitUcl3, LimitLcl3, LimitXcl, LimitRcl, LimitRsUcl3})
        complete = complete && Number(p[static_cast<size_t>(f)]).has_value();
    for (const std::string& t : p)
        complete = complete && (IsBlank(t) || Number(t).has_value());
    ok_->setEnabled(complete && !reason_->text().trimmed().isEmpty());
}

std::array<std::string, kLimitFields> LimitRevisionDialog::proposed() const
{
    std::array<std::string, kLimitFields> p;
    for (int f = 0; f < kLimitFields; ++f)
        p[static_cast<size_t>(f)] = table_->item(f, 1)->text().trimmed().toStdString();
    return p;
}

std::string LimitRevisionDialog::methodText() const
{
    return kLimitTexts[std::clamp(method_->currentIndex(), 0, 2)];
}

std::string LimitRevisionDialog::reason() const
{
    return reason_->text().trimmed().toStdString();
}

// ---- the controller ----

// What one reading of the store found for a characteristic.
struct LimitRevisionController::Reading {
    std::optional<Characteristic> characteristic;
    std::string where;
    std::string openError;  // why the store could not be reached
    std::optional<bool> mayEngineer;
    std::string whyNot;
    bool read = false;  // the sets and the lots were read
    std::vector<LimitSet> sets;
    std::vector<std::pair<std::string, std::int64_t>> published;
};

namespace {

// The id and publishing time of the newest lots of a characteristic, as
// many as a sheet holds (the lots it can show); on the worker's thread.
bool ReadPublished(StoreConnection& connection, PlantStore& store, const Characteristic& c,
                   std::vector<std::pair<std::string, std::int64_t>>& out, std::string& error)
{
    LotHistory history;
    if (!store.newestLots(c, kMaxLots, history)) {
        error = connection.fail();
        return false;
    }
    for (const StoredLot& lot : history.lots)
        out.emplace_back(lot.id, lot.publishedAt);
    return true;
}

void Tell(QWidget* parent, const QString& text)
{
    Prompts::current().message(parent, QString::fromUtf8(kWarningCaption), text);
}

}  // namespace

LimitRevisionController::LimitRevisionController(SheetSession& session, StoredSheet& stored, StoreWorker& worker,
                                                 TplStringGrid* lots, QMenu* menu, QWidget* boxParent)
    : session_(session), stored_(stored), worker_(worker), lots_(lots), boxParent_(boxParent)
{
    action_ = menu->addAction(QStringLiteral("管理限界の改訂"));
    action_->setObjectName(QStringLiteral("menuSettingLimitRevision"));
    // Enabled once the store told that the role may revise.
    action_->setEnabled(false);
    // A disabled item tells why in its tooltip.
    menu->setToolTipsVisible(true);
    connect(action_, &QAction::triggered, this, [this] { revise(); });
    session_.addListener(this);
    refresh();
}

LimitRevisionController::~LimitRevisionController()
{
    session_.removeListener(this);
}

void LimitRevisionController::sessionChanged(unsigned what, int, int)
{
    // Another sheet: its sets are read. The sheet's own limits are compared
    // with each lot's, so a change of them, or of the rows, places them again.
    if (what & ChangedSheet)
        deferred_.schedule(true);
    else if (what & (ChangedLots | ChangedShape | ChangedLimits))
        deferred_.schedule(false);
}

void LimitRevisionController::updateAction(const Reading& r)
{
    QString why;
    if (!r.characteristic)
        why = QStringLiteral("工場データベースのシートで使えます。");
    else if (!r.openError.empty())
        why = ToQString(r.openError);
    else if (!r.mayEngineer.value_or(true))
        why = ToQString(r.whyNot);
    action_->setEnabled(why.isEmpty());
    action_->setToolTip(why.isEmpty() ? action_->text() : why);
    action_->setStatusTip(why);
}

void LimitRevisionController::refresh()
{
    if (loading_) {
        again_ = true;
        return;
    }
    const auto characteristic = stored_.storedCharacteristic();
    if (!characteristic) {
        loaded(Reading{});
        return;
    }
    loading_ = true;
    again_ = false;
    const StoreLocation where = stored_.storeLocation();
    worker_.post<Reading>(
        this,
        [where, characteristic](StoreConnection& connection) {
            Reading r;
            r.characteristic = characteristic;
            r.where = where.text();
            PlantStore* store = connection.open(where, r.openError);
            if (!store)
                return r;
            std::string whyNot;
            r.mayEngineer = store->mayEngineer(whyNot);
            r.whyNot = whyNot;
            std::string error;
            if (!store->limitHistory(*characteristic, r.sets)) {
                connection.fail();
                return r;
            }
            r.read = ReadPublished(connection, *store, *characteristic, r.published, error);
            return r;
        },
        [this](Reading r) {
            loading_ = false;
            loaded(std::move(r));
        });
}

void LimitRevisionController::loaded(Reading r)
{
    // Another sheet shown, or a change told, while the store was read.
    if (again_ || r.characteristic != stored_.storedCharacteristic() ||
        (r.characteristic && r.where != stored_.storeLocation().text())) {
        again_ = false;
        refresh();
        return;
    }
    updateAction(r);
    // A store that cannot be read now leaves the lines drawn as they are.
    if (r.characteristic && !r.read)
        return;
    sets_ = std::move(r.sets);
    published_ = std::move(r.published);
    place();
}

void LimitRevisionController::place()
{
    std::vector<std::optional<std::array<std::string, kLimitFields>>> limits;
    for (const auto& [id, publishedAt] : published_) {
        const int row = stored_.rowOfStoredLot(id);
        const LimitSet* set = LimitSetInForce(sets_, publishedAt);
        if (row < 1 || !set || set->values == session_.limits())
            continue;
        if (limits.size() < static_cast<size_t>(row))
            limits.resize(static_cast<size_t>(row));
        limits[static_cast<size_t>(row - 1)] = set->values;
    }
    if (limits == session_.storeOverlay().limits)
        return;
    StoreOverlay o = session_.storeOverlay();
    o.limits = std::move(limits);
    session_.setStoreOverlay(std::move(o));
}

bool LimitRevisionController::revise()
{
    const auto characteristic = stored_.storedCharacteristic();
    if (!characteristic || revising_)
        return false;
    revising_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Lots {
        std::vector<std::pair<std::string, std::int64_t>> published;
        std::string error;
    };
    const StoreLocation where = stored_.storeLocation();
    worker_.post<Lots>(
        this,
        [where, characteristic](StoreConnection& connection) {
            Lots l;
            if (PlantStore* store = connection.open(where, l.error))
                ReadPublished(connection, *store, *characteristic, l.published, l.error);
            return l;
        },
        [this, characteristic](Lots l) {
            QApplication::restoreOverrideCursor();
            if (!l.error.empty()) {
                revising_ = false;
                Tell(boxParent_, ToQString(l.error));
            } else if (characteristic != stored_.storedCharacteristic()) {
                // Another sheet was shown meanwhile: its revision is asked
                // for again.
                revising_ = false;
            } else {
                showDialog(*characteristic, l.published);
            }
        });
    return true;
}

void LimitRevisionController::showDialog(const Characteristic& characteristic,
                                         const std::vector<std::pair<std::string, std::int64_t>>& published)
{
    std::vector<LimitRevisionDialog::BaselineLot> lots;
    int first = session_.lots(), last = 1;
    for (const auto& [id, publishedAt] : published)
        if (const int row = stored_.rowOfStoredLot(id); row > 0) {
            lots.push_back({row, publishedAt});
            first = std::min(first, row);
            last = std::max(last, row);
        }
    // The rows chosen in the lot table, or those of the stored lots.
    const StringGrid::Rect chosen = lots_->selectionRect();
    if (chosen.top >= 1 && chosen.bottom > chosen.top)
        first = chosen.top, last = chosen.bottom;
    LimitRevisionDialog dialog(session_, std::move(lots), std::min(first, last), last, boxParent_);
    if (dialog.exec() != QDialog::Accepted) {
        revising_ = false;
        return;
    }
    LimitSet set;
    set.method = dialog.methodText();
    set.values = dialog.proposed();
    const std::string reason = dialog.reason();
    const StoreLocation where = stored_.storeLocation();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    worker_.post<std::string>(
        this,
        [where, characteristic, set, reason](StoreConnection& connection) {
            std::string error;
            PlantStore* store = connection.open(where, error);
            if (store && !store->reviseLimits(characteristic, set, reason))
                error = connection.fail();
            return error;
        },
        [this, characteristic, set](std::string error) {
            QApplication::restoreOverrideCursor();
            revised(characteristic, set, error);
        });
}

void LimitRevisionController::revised(const Characteristic& characteristic, const LimitSet& set,
                                      const std::string& error)
{
    revising_ = false;
    if (!error.empty()) {
        Tell(boxParent_, QStringLiteral("管理限界を改訂できませんでした。\n") + ToQString(error));
        return;
    }
    // The revised limits are the ones in force now: the sheet shows them as
    // typed, each line with a value checked, and the lots published before
    // keep theirs on the charts. A sheet shown since keeps its own.
    if (stored_.storedCharacteristic() == characteristic) {
        session_.typeLimits(set.values);
        for (int line = 0; line < kVisibleLimitLines; ++line)
            if (!IsBlank(session_.limit(line)))
                session_.setLineAutomatic(line, true);
        session_.setView(session_.view());
    }
    refresh();
}

}  // namespace trevolo
