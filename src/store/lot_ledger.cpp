#include "store/lot_ledger.h"

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <algorithm>

#include "store/plant_store.h"

namespace trevolo {

namespace {

// A new lot takes its place by the publishing time and its row.
constexpr std::int64_t kRowsPerMillisecond = 1000;

// A lot's id, made from what the lot is: the station, the characteristic,
// the lot's key on its sheet, its content and the lot it corrects. A sheet
// published again by a station that no longer knows it (a new run of the
// window, another sheet of the same lots, a push of the same file) gives its
// unchanged lots the ids they were stored under, and the store ignores them
// instead of keeping them twice; a correction, even back to an earlier
// content, has an id of its own.
std::string LotIdOf(const std::string& station, const Characteristic& c, const std::string& key,
                    const std::string& content, const std::string& supersedes)
{
    static const QUuid kNamespace(QStringLiteral("{3b1f6c52-8e0d-4c7a-b4a9-5d2e7f90c163}"));
    const std::string name = AuditRowHash({station, c.product, c.process, c.machine, c.item, key, content, supersedes});
    return QUuid::createUuidV5(kNamespace, QByteArray::fromStdString(name))
        .toString(QUuid::WithoutBraces)
        .toStdString();
}

std::string LabelKey(const std::string& label, int occurrence)
{
    return "L" + label + (occurrence > 1 ? "#" + std::to_string(occurrence) : std::string());
}

std::string RowKey(std::int64_t row)
{
    return "#" + std::to_string(row + 1);
}

std::string StoredKey(const std::string& id)
{
    return "S" + id;
}

// The row a lot was placed by when it was published new.
std::int32_t RowOfOrderKey(std::int64_t orderKey)
{
    return static_cast<std::int32_t>(((orderKey % kRowsPerMillisecond) + kRowsPerMillisecond) % kRowsPerMillisecond);
}

}  // namespace

std::string LotContentOf(const std::string& label, bool enabled, const std::string& values)
{
    return AuditRowHash({label, enabled ? "1" : "0", values});
}

std::string LotValuesOf(bool enabled, const std::string& values)
{
    return AuditRowHash({enabled ? "1" : "0", values});
}

std::string EncodeStoredRef(const std::string& id, std::int64_t orderKey, const std::string& content)
{
    return id + ' ' + std::to_string(orderKey) + ' ' + content;
}

bool DecodeStoredRef(const std::string& text, std::string& id, std::int64_t& orderKey, std::string& content)
{
    const size_t a = text.find(' ');
    const size_t b = a == std::string::npos ? a : text.find(' ', a + 1);
    if (b == std::string::npos || a == 0)
        return false;
    try {
        orderKey = std::stoll(text.substr(a + 1, b - a - 1));
    } catch (...) {
        return false;
    }
    id = text.substr(0, a);
    content = text.substr(b + 1);
    return true;
}

std::vector<PlannedLot> PlanLots(const Characteristic& c, const std::vector<SheetLot>& lots,
                                 const Publisher& publisher, std::int64_t now, LotLedger& ledger)
{
    std::vector<PlannedLot> planned;
    std::map<std::string, int> seen;
    std::vector<std::string> taken;  // keys of this sheet's lots, never taken over by a relabelled one
    for (const SheetLot& lot : lots)
        if (lot.storedId.empty())
            taken.push_back(lot.label.empty() ? RowKey(lot.row) : LabelKey(lot.label, ++seen[lot.label]));
    seen.clear();
    for (const SheetLot& lot : lots) {
        const bool shown = !lot.storedId.empty();
        const std::string key = shown               ? StoredKey(lot.storedId)
                                : lot.label.empty() ? RowKey(lot.row)
                                                    : LabelKey(lot.label, ++seen[lot.label]);
        std::string content = shown ? lot.shownContent : LotContentOf(lot.label, lot.enabled, lot.values);
        const std::string valuesContent = LotValuesOf(lot.enabled, lot.values);
        auto it = ledger.find(key);
        LedgerEntry base;
        bool known = it != ledger.end();
        if (known) {
            base = it->second;
        } else if (shown) {
            base = {lot.storedId, lot.storedContent, lot.storedOrderKey, lot.row, {}};
            known = true;
        }
        std::string replacedKey;
        if (!known) {
            // Relabelled in place: the entry of this row with the same values
            // whose key no lot of the sheet has any more.
            for (const auto& [k, e] : ledger) {
                if (e.row == lot.row && !e.valuesContent.empty() && e.valuesContent == valuesContent &&
                    k[0] != 'S' && std::find(taken.begin(), taken.end(), k) == taken.end()) {
                    base = e;
                    known = true;
                    replacedKey = k;
                    break;
                }
            }
            if (known)
                taken.push_back(replacedKey);
        }
        if (known && base.content == content)
            continue;
        PlannedLot p;
        StoredLot& l = p.lot;
        l.supersedes = known ? base.id : std::string();
        l.id = LotIdOf(publisher.station, c, key, content, l.supersedes);
        l.label = lot.label;
        l.enabled = lot.enabled;
        l.values = lot.values;
        l.valueCount = lot.valueCount;
        l.station = publisher.station;
        l.operatorName = publisher.operatorName;
        l.publishedAt = now;
        // A correction keeps the place of the lot it corrects.
        l.orderKey = known ? base.orderKey : now * kRowsPerMillisecond + lot.row;
        if (!replacedKey.empty())
            ledger.erase(replacedKey);
        ledger[key] = LedgerEntry{l.id, content, l.orderKey, lot.row, valuesContent};
        p.key = key;
        p.content = std::move(content);
        p.replacedKey = std::move(replacedKey);
        p.row = lot.row;
        p.valuesContent = valuesContent;
        planned.push_back(std::move(p));
    }
    return planned;
}

LotLedger LedgerOfStoredLots(const Characteristic& c, const std::string& station,
                             const std::vector<StoredLot>& current, std::int32_t rows)
{
    LotLedger ledger;
    std::map<std::string, int> seen;
    std::vector<std::string> candidates;
    for (const StoredLot& s : current) {
        const std::string content = LotContentOf(s.label, s.enabled, s.values);
        // The key the lot most likely has first, then the others it may have.
        candidates.clear();
        if (!s.label.empty()) {
            const int n = ++seen[s.label];
            candidates.push_back(LabelKey(s.label, n));
            for (int k = 1; k < n; ++k)
                candidates.push_back(LabelKey(s.label, k));
        } else {
            const std::int64_t first = RowOfOrderKey(s.orderKey);
            candidates.push_back(RowKey(first));
            for (std::int64_t row = first + kRowsPerMillisecond; row < rows; row += kRowsPerMillisecond)
                candidates.push_back(RowKey(row));
        }
        const std::string* key = &candidates.front();
        for (const std::string& k : candidates) {
            if (LotIdOf(station, c, k, content, s.supersedes) == s.id) {
                key = &k;
                break;
            }
        }
        // Two current lots under one key (sheets of one label published as
        // separate lots): the first one in lot order is the one corrected.
        ledger.try_emplace(*key, LedgerEntry{s.id, content, s.orderKey, RowOfOrderKey(s.orderKey),
                                             LotValuesOf(s.enabled, s.values)});
    }
    return ledger;
}

}  // namespace trevolo
