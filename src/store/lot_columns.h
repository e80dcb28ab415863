#pragma once
// The columns a lot is kept in, alike in the plant store's lot table and in
// the outbox's queue, and the lot that a row of them makes.
#include <QSqlQuery>

#include "store/store_records.h"

namespace trevolo {

// The lot's own columns, in the order StoredLotAt reads them.
inline constexpr const char* kLotColumns =
    "id, supersedes, label, enabled, vals, value_count, station, operator, order_key, published_at";
inline constexpr int kLotColumnCount = 10;

// The lot in the kLotColumns of the query's current row, the first of them
// at column first. What the store adds on arrival (seq, received_at,
// received_by) is left to the caller.
StoredLot StoredLotAt(const QSqlQuery& q, int first);

// Binds the lot's content as both stores write it, in this order: enabled,
// vals, value_count, station, operator, order_key, published_at.
void BindLotContent(QSqlQuery& q, const StoredLot& lot);

}  // namespace trevolo
