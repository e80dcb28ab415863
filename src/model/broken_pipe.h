#pragma once
// The spreadsheet engine talks to the office over a local socket. When the
// office ends while a block is still being written, the write must become
// that command's error (the "office lost" message), not the signal that
// would end this program together with the workbook it holds. Every program
// calls this first thing in main; the test programs through a static
// initialiser.

namespace trevolo {

// Ignores SIGPIPE for the whole process: a write to a pipe or socket whose
// reader has gone then fails with EPIPE instead.
void IgnoreBrokenPipe() noexcept;

}  // namespace trevolo
