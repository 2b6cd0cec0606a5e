#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>
#include <utility>

// The one answer to a request that may fail: a value, or the kind of failure and its text (the
// engine's own, or the disk's). A value is read only from a reply that has one, and a failure
// only from one that failed.
enum class Failure
{
    Offline,        // no connection could be made, or it was lost; nothing was done
    TimedOut,       // no answer within the bound; what was asked did not happen
    UnknownOutcome, // a commit was sent and its answer never came: it may have landed
    Refused         // the server (or the disk) answered with an error
};

template<class T> class Reply
{
public:
    static Reply success(T value) { return Reply(std::move(value)); }
    static Reply failure(Failure kind, QString text) { return Reply(kind, std::move(text)); }

    bool ok() const { return m_value.has_value(); }
    const T &value() const
    {
        Q_ASSERT(ok());
        return *m_value;
    }
    T &value()
    {
        Q_ASSERT(ok());
        return *m_value;
    }
    Failure failure() const
    {
        Q_ASSERT(!ok());
        return m_failure;
    }
    bool failedWith(Failure kind) const { return !ok() && m_failure == kind; }
    const QString &error() const { return m_error; } // empty on success
    // The server answered, with a value or with a refusal: no outage.
    bool answered() const { return ok() || m_failure == Failure::Refused; }

    // The same failure for another kind of value.
    template<class U> Reply<U> as() const
    {
        Q_ASSERT(!ok());
        return Reply<U>::failure(m_failure, m_error);
    }

private:
    explicit Reply(T value) : m_value(std::move(value)) {}
    Reply(Failure kind, QString text) : m_failure(kind), m_error(std::move(text)) {}

    std::optional<T> m_value;
    Failure m_failure = Failure::Refused;
    QString m_error;
};

// A request that answers with nothing but whether it worked.
struct Done
{
};

// What runs once a reply is in: on the thread that asked (replies are delivered there), and
// only while its guard lives: the object whose lifetime bounds what the function uses.
template<class T> class Then
{
public:
    Then() = default;
    template<class F> Then(QObject *guard, F &&f) : m_guard(guard), m_f(std::forward<F>(f))
    {
        Q_ASSERT(guard);
    }

    // Whether anybody still waits for the reply.
    bool wanted() const { return m_f && m_guard; }
    QObject *guard() const { return m_guard; }
    void operator()(Reply<T> reply) const
    {
        if (wanted())
            m_f(std::move(reply));
    }

private:
    QPointer<QObject> m_guard;
    std::function<void(Reply<T>)> m_f;
};
