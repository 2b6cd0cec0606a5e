#include "app/stoprequest.h"

#ifndef Q_OS_WIN
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace stoprequest {

#ifdef Q_OS_WIN

void watch(QObject *, std::function<void()>) {}

#else

namespace {

int s_pipe[2] = {-1, -1};
volatile std::sig_atomic_t s_asked = 0;

// Only what a signal handler may do: a byte into the pipe, or the end.
extern "C" void onSignal(int signal)
{
    if (s_asked) {
        std::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    s_asked = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
}

} // namespace

void watch(QObject *context, std::function<void()> stop)
{
    if (s_pipe[0] >= 0 || ::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [stop = std::move(stop)] {
        char bytes[16];
        while (::read(s_pipe[0], bytes, sizeof bytes) > 0) {
        }
        stop();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

#endif

} // namespace stoprequest
