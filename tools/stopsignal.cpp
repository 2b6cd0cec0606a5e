#include "tools/stopsignal.h"

#include <csignal>
#include <cstdlib>

namespace stopsignal {
namespace {

volatile std::sig_atomic_t s_asked = 0;

extern "C" void onStop(int signal)
{
    if (s_asked)
        std::_Exit(128 + signal); // asked before and not stopped: a call that hangs
    s_asked = 1;
}

} // namespace

void takeBack()
{
    std::signal(SIGINT, onStop);
    std::signal(SIGTERM, onStop);
}

bool asked()
{
    return s_asked != 0;
}

} // namespace stopsignal
