#include "toolkit/stoprequest.h"

#include <QtGlobal>

#include <chrono>
#include <thread>

#ifndef Q_OS_WIN
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>
#endif

namespace stoprequest {

#ifdef Q_OS_WIN

void block() {}

int asked()
{
    return -1;
}

bool askedWithin(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return false;
}

#else

namespace {

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

bool s_blocked = false;

} // namespace

void block()
{
    const sigset_t set = stopSignals();
    s_blocked = pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

int asked()
{
    static int readEnd = [] {
        int ends[2];
        if (!s_blocked || ::pipe2(ends, O_CLOEXEC) != 0)
            return -1;
        std::thread([write = ends[1]] {
            const sigset_t set = stopSignals();
            for (int requests = 0;; ++requests) {
                int signal = 0;
                if (sigwait(&set, &signal) != 0)
                    continue;
                if (requests > 0)
                    std::_Exit(128 + signal); // asked again: whatever holds the first one up
                const char byte = 1;
                [[maybe_unused]] const ssize_t n = ::write(write, &byte, 1);
            }
        }).detach();
        return ends[0];
    }();
    return readEnd;
}

bool askedWithin(int ms)
{
    const int fd = asked();
    if (fd < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return false;
    }
    pollfd wait = {fd, POLLIN, 0};
    return ::poll(&wait, 1, ms) > 0;
}

#endif

} // namespace stoprequest
