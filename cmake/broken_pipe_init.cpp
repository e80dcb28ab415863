// Linked into every test and benchmark program: SIGPIPE is ignored before
// main runs, as the programs do on their first line, so a test that loses
// its office sees the command's error instead of dying.
#include "model/broken_pipe.h"

namespace {
[[maybe_unused]] const bool kIgnored = [] {
    trevolo::IgnoreBrokenPipe();
    return true;
}();
}  // namespace
