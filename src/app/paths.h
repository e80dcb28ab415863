#pragma once
// Folders beside the program: "Form Files" (report templates), "Sample Files",
// "Save Files" (reports and exports) and the operating manual.
#include <QString>

namespace trevolo {

// The folder of the program file.
QString ProgramDir();
QString FormFilesDir();
QString SampleFilesDir();
QString ManualPath();

// Creates "Save Files" beside the program when it does not exist (one level).
// When that folder cannot be created or written, "Save Files" in the folder
// "Trevolo" of the user's documents folder is used instead. Returns the folder in use.
QString EnsureSaveFilesDir();

// The folder of the crash journals: "journal" in the user's data folder of
// the program (~/.local/share/Morvane/Trevolo/journal).
QString JournalDir();

}  // namespace trevolo
