#pragma once
// The settings of the program in the user's settings store: the main window's
// position and size, the SPC rule options and the initial values, in the
// sections "Windows", "Options" and "Settings", every value a string.
#include <QString>
#include <memory>

#include "model/comtype.h"

class QSettings;

namespace trevolo {

struct WindowGeometry {
    int Left = 0;
    int Top = 0;
    int Height = 0;
    int Width = 0;
    friend bool operator==(const WindowGeometry&, const WindowGeometry&) = default;
};

// The settings store of the user: organisation "Morvane", application "Trevolo".
std::unique_ptr<QSettings> OpenSettingsStore();

// Reads every value in the order of the store's layout. A missing value or an
// integer text that is not a whole number gives the default; a boolean is true
// when its number is not 0. Values outside the ranges the program works with
// (possible only by editing the store by hand) are clamped into them, and a
// list index outside its list falls back to the default.
void ReadSettings(QSettings& store, WindowGeometry& geometry, RuleOptions& options, InitialValues& settings);

// Writes every value in the same order and flushes the store. False when the
// store could not be written (the caller goes on regardless).
bool WriteSettings(QSettings& store, const WindowGeometry& geometry, const RuleOptions& options,
                   const InitialValues& settings);

}  // namespace trevolo
