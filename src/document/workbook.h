#pragma once
// The workbook: the sheet records (one per tab), the sheet shown, and the
// settings new sheets and the judgment chain take. The shown sheet itself
// lives in a SheetSession; storing and showing move it between the two.
#include "document/judgment_chain.h"
#include "document/sheet_session.h"
#include "model/comtype.h"

namespace trevolo {

class Workbook {
public:
    SheetArray sheets;
    // The initial values and the rule options (the settings store's).
    Struct_Settings settings;
    Struct_Options options;
    // The sheet shown, or -1 when none is (its tab was removed).
    int current = -1;

    int count() const noexcept { return static_cast<int>(sheets.size()); }
    bool contains(int index) const noexcept { return index >= 0 && index < count(); }

    // A new sheet count: the records are cut or extended to count; the new
    // ones, or with all every one, are initialised ("Sheet<n>", the initial
    // values, lots and n as given). A record that already holds its lists
    // keeps them unless all is set. Returns the first record that changed
    // (count when none did).
    int setSheetCount(int count, bool all, int lots, int n);

    // Writes the session into record index; nothing when there is none.
    void store(int index, const SheetSession& session);

    // What the chain takes from the settings and the rule options.
    ChainSettings chainSettings() const { return ChainSettings::From(settings, options); }
};

}  // namespace trevolo
