#include "store/lot_columns.h"

#include <QVariant>

#include "store/qt_text.h"

namespace trevolo {

StoredLot StoredLotAt(const QSqlQuery& q, int first)
{
    StoredLot l;
    l.id = ToStdString(q.value(first));
    l.supersedes = ToStdString(q.value(first + 1));
    l.label = ToStdString(q.value(first + 2));
    l.enabled = q.value(first + 3).toInt() != 0;
    l.values = ToStdString(q.value(first + 4));
    l.valueCount = q.value(first + 5).toInt();
    l.station = ToStdString(q.value(first + 6));
    l.operatorName = ToStdString(q.value(first + 7));
    l.orderKey = q.value(first + 8).toLongLong();
    l.publishedAt = q.value(first + 9).toLongLong();
    return l;
}

void BindLotContent(QSqlQuery& q, const StoredLot& lot)
{
    q.addBindValue(lot.enabled ? 1 : 0);
    q.addBindValue(ToQString(lot.values));
    q.addBindValue(lot.valueCount);
    q.addBindValue(ToQString(lot.station));
    q.addBindValue(ToQString(lot.operatorName));
    q.addBindValue(static_cast<qlonglong>(lot.orderKey));
    q.addBindValue(static_cast<qlonglong>(lot.publishedAt));
}

}  // namespace trevolo
