#pragma once
// What the plant's window parts (the alarm bar, notes, limit revisions) know
// of the shown sheet's place in the plant store. The plant store's view
// answers it for the sheet it follows: one opened from the store, or one
// whose lots were published.
#include <cstdint>
#include <optional>
#include <string>

#include "store/store_engine.h"
#include "store/store_records.h"

namespace trevolo {

class StoredSheet {
public:
    virtual ~StoredSheet() = default;
    // The characteristic of the shown sheet when the store holds its lots,
    // else nothing.
    virtual std::optional<Characteristic> storedCharacteristic() const = 0;
    // The store the settings name.
    virtual StoreLocation storeLocation() const = 0;
    // The stored lot id of a lot row (1 = first lot) of the shown sheet, or
    // empty when that row holds no stored lot.
    virtual std::string storedLotId(int row) const = 0;
    // The lot row that shows a stored lot, or 0.
    virtual int rowOfStoredLot(const std::string& id) const = 0;
};

}  // namespace trevolo
