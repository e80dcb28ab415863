#include "model/broken_pipe.h"

#include <signal.h>

namespace trevolo {

void IgnoreBrokenPipe() noexcept
{
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace trevolo
