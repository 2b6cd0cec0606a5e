#pragma once

#include "db/competition.h"
#include "toolkit/handoff.h"
#include "toolkit/reply.h"

#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <utility>

// The station's own record of every registration outcome, kept on its disk so that it can be
// shown afterwards that each confirmed mark reached the competition database (jumpdb audit).
// One UTF-8 CSV file a day, named after the local date and the host, with a header line;
// every line is on the disk before the window shows the outcome, unless the disk takes longer
// than a second.
namespace journal {

struct Entry
{
    QDateTime time; // local time; written with its UTC offset
    QString seat;
    QString bib;   // as read from the judge's table
    QString round; // as the judge's table held it
    QString name;
    QString flight, landing, outrun, mark;
    Outcome outcome = Outcome::Registered;
};

// "registered", "failed", "competitor changed", "unknown" (also for an unverifiable outcome: a
// later line tells, if it is found out).
QString outcomeText(Outcome outcome);
// The columns of the header line, in order.
QStringList columns();

// The journal's folder: $XDG_DATA_HOME/VELMOR/Tollivane/journal (by default under
// ~/.local/share), on Windows the same under the local application data folder
// (%LOCALAPPDATA%).
QString folder();

// The CSV line of an entry (standard quoting, no line break at its end). A line break inside
// a value is written as a blank, so that a line never spans two; a value that a spreadsheet
// would take for a formula (=, +, -, @ first) gets an apostrophe in front, which reading
// takes off again.
QString line(const Entry &entry);
// The records of a CSV text, one a line; an unbalanced quote ends with its line.
QList<QStringList> records(const QString &text);
// An entry from one record; false for a record that is no entry (the header, a cut line).
bool read(const QStringList &fields, Entry &entry);

// What a journal file's text holds.
struct Reading
{
    QList<Entry> entries; // in order
    int unreadable = 0;   // lines that are neither the header nor an entry
};
Reading readAll(const QString &text);

// This machine's name as the network knows it.
QString hostName();

// Appends entries to the day's file in a folder, on the calling thread: every line is on the
// disk when append returns. Returns false when it could not write (a full disk, a read-only
// folder), with the reason in error().
class File
{
public:
    explicit File(QString folder = journal::folder(), const QString &host = hostName());
    bool append(const Entry &entry);
    QString error() const { return m_error; }
    // The day's file, named after the date and the host ("2026-12-09_judge-b.csv"), so that
    // stations whose folders are one network share never append to one file.
    QString fileFor(const QDate &day) const;

private:
    QString m_folder;
    QString m_host; // as a part of a file name
    QString m_error;
};

// Where a line the journal could not take is told, whole, so that it is not lost without a
// word: standard error, unless a writer is given another place.
using Lost = std::function<void(const QString &text)>;
void toStandardError(const QString &text);

// Appends entries on a thread of its own, in order, so that a slow disk (a USB stick, a home
// folder on the network) never holds the window: the caller is told once the line is on the
// disk, or once waitMs have passed without it (the line is still written when the disk
// answers). A line the disk refuses, and the lines still on their way when the writer is
// destroyed, are told to `lost`. The lines go to the writing thread and the answers come back
// as posted work (toolkit/handoff.h).
class Writer
{
public:
    explicit Writer(QString folder = journal::folder());
    // Writes with the function given instead of a file (tests: a disk that takes its time).
    using Write = std::function<bool(const Entry &entry, QString *error)>;
    explicit Writer(Write write, Lost lost = toStandardError, int closeWaitMs = 2000);
    // Waits closeWaitMs for lines still on their way; a disk that hangs is left behind, and
    // what it has not taken is told to `lost`, since the program may leave at once.
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // `written` runs on the calling thread (it needs an event loop), once, while `guard`
    // lives, with a Reply<Done>: the line is on the disk, or the disk refused it
    // (Failure::Refused), or did not take it within the wait (Failure::TimedOut).
    template<class F> void append(const Entry &entry, QObject *guard, F written, int waitMs = 1000);
    QString fileFor(const QDate &day) const;

private:
    struct Shared;
    // Told once, whichever comes first: the disk's answer or the end of the wait.
    template<class F> struct Told
    {
        QPointer<QObject> guard;
        F written;
        bool told = false;
        void tell(const Reply<Done> &reply)
        {
            if (!std::exchange(told, true) && guard)
                written(reply);
        }
    };
    // The line as the writing thread takes it: its number, and where the answer goes.
    quint64 queue(const Entry &entry);
    QObject *writingThread() const;
    QObject *answers() const; // on the thread that appends
    // On the writing thread: writes the line unless the writer closed meanwhile.
    static bool write(const std::shared_ptr<Shared> &shared, quint64 number, QString *error);
    static Reply<Done> timedOut(int waitMs);

    std::shared_ptr<Shared> m_shared;
};

template<class F> void Writer::append(const Entry &entry, QObject *guard, F written, int waitMs)
{
    auto told = std::make_shared<Told<F>>(Told<F>{guard, std::move(written)});
    const quint64 number = queue(entry);
    handoff::post(writingThread(), [shared = m_shared, number, answers = answers(), told] {
        QString error;
        const bool ok = write(shared, number, &error);
        handoff::post(answers, [told, ok, error] {
            told->tell(ok ? Reply<Done>::success({})
                          : Reply<Done>::failure(Failure::Refused, error));
        });
    });
    QTimer::singleShot(waitMs, answers(), [told, waitMs] { told->tell(timedOut(waitMs)); });
}

} // namespace journal
