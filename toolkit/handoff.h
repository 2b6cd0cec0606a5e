#pragma once

#include <QMetaObject>
#include <QObject>

#include <type_traits>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

// The one way work crosses threads here: a function runs on the thread of a receiver, from its
// event loop, and only while the receiver lives (Qt drops what was posted to an object that is
// gone). What the posting thread did before is visible to the function.
namespace handoff {

namespace detail {

// Qt's queue orders the hand-off with locks of its own, which ThreadSanitizer cannot see (Qt
// is not instrumented); the function as the queue carries it tells it where the hand-off is.
#if defined(__SANITIZE_THREAD__)
inline void handedOver(void *at)
{
    __tsan_release(at);
}
inline void takenOver(void *at)
{
    __tsan_acquire(at);
}
#else
inline void handedOver(void *) {}
inline void takenOver(void *) {}
#endif

template<class F> class Carried
{
public:
    explicit Carried(F &&f) : m_f(std::move(f)) {}
    // The last move puts it into Qt's event, on the posting thread.
    Carried(Carried &&other) noexcept : m_f(std::move(other.m_f)) { handedOver(this); }
    Carried(const Carried &) = delete;
    Carried &operator=(const Carried &) = delete;
    Carried &operator=(Carried &&) = delete;
    ~Carried() { takenOver(this); }

    void operator()()
    {
        takenOver(this);
        m_f();
    }

private:
    F m_f;
};

} // namespace detail

template<class F> void post(QObject *receiver, F &&f)
{
    using Function = std::decay_t<F>;
    QMetaObject::invokeMethod(receiver, detail::Carried<Function>(Function(std::forward<F>(f))),
                              Qt::QueuedConnection);
}

} // namespace handoff
