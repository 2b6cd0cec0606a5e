#include "journal/markjournal.h"

#include "toolkit/handoff.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace journal {

namespace {

// What a line can say; an unverifiable outcome reads back as unknown.
constexpr Outcome s_written[] = {Outcome::Registered, Outcome::Failed, Outcome::CompetitorChanged,
                                 Outcome::Unknown};

// A value a spreadsheet would take for a formula, apostrophes it was given already included.
const QRegularExpression &formulaLike()
{
    static const QRegularExpression pattern(u"^'*[=+\\-@]"_s);
    return pattern;
}

QString cell(QString value)
{
    value.replace(u"\r\n"_s, u" "_s);
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    if (formulaLike().match(value).hasMatch())
        value.prepend(u'\'');
    const bool needsQuotes = value.contains(u',') || value.contains(u'"');
    if (!needsQuotes)
        return value;
    value.replace(u'"', u"\"\""_s);
    return u'"' + value + u'"';
}

QString valueOf(const QString &cell)
{
    static const QRegularExpression guarded(u"^'+[=+\\-@]"_s);
    return guarded.match(cell).hasMatch() ? cell.mid(1) : cell;
}

// Local time with its offset always written out ("+00:00", never "Z"), so that every line
// reads the same whoever looks at it.
QString timeText(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return time.toString(u"yyyy-MM-ddTHH:mm:ss"_s) + (offset < 0 ? u'-' : u'+') +
           u"%1:%2"_s.arg(minutes / 60, 2, 10, QChar(u'0')).arg(minutes % 60, 2, 10, QChar(u'0'));
}

// The file's bytes on the disk, not only in the system's cache.
bool syncFile(QFile &file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_WIN
    return ::FlushFileBuffers(reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()))) != 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

// A new file's entry in its folder on the disk too; Windows keeps it with the file itself.
bool syncFolder(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path)
    return true;
#else
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
#endif
}

// The fields of one line; a quote left open ends with the line.
QStringList fieldsOf(QStringView line)
{
    QStringList fields;
    QString field;
    bool inQuotes = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (inQuotes) {
            if (c == u'"' && i + 1 < line.size() && line.at(i + 1) == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                inQuotes = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            inQuotes = true;
        } else if (c == u',') {
            fields << std::exchange(field, QString());
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

} // namespace

QString outcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Registered:
        return u"registered"_s;
    case Outcome::CompetitorChanged:
        return u"competitor changed"_s;
    case Outcome::Failed:
        return u"failed"_s;
    case Outcome::Unknown:
    case Outcome::Unverifiable:
        break;
    }
    return u"unknown"_s;
}

QStringList columns()
{
    return {u"time"_s,   u"seat"_s,    u"bib"_s,    u"round"_s, u"name"_s,
            u"flight"_s, u"landing"_s, u"outrun"_s, u"mark"_s,  u"outcome"_s};
}

QString folder()
{
#ifdef Q_OS_WIN
    // The local application data folder, which Windows names in every session (and Qt's answer
    // when it does not).
    QString base = QDir::fromNativeSeparators(qEnvironmentVariable("LOCALAPPDATA"));
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#else
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#endif
    return base + u"/VELMOR/Tollivane/journal"_s;
}

QString line(const Entry &e)
{
    const QStringList values = {
        timeText(e.time), e.seat,    e.bib,    e.round, e.name,
        e.flight,         e.landing, e.outrun, e.mark,  outcomeText(e.outcome)};
    QStringList fields;
    for (const QString &value : values)
        fields << cell(value);
    return fields.join(u',');
}

QList<QStringList> records(const QString &text)
{
    QList<QStringList> result;
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.trimmed().isEmpty())
            result << fieldsOf(line);
    }
    return result;
}

bool read(const QStringList &f, Entry &e)
{
    if (f.size() != columns().size())
        return false;
    e.time = QDateTime::fromString(f[0], Qt::ISODate);
    if (!e.time.isValid())
        return false;
    // A seat names a table: one of the five letters, nothing else.
    if (f[1].size() != 1 || f[1].at(0) < u'A' || f[1].at(0) > u'E')
        return false;
    e.seat = f[1];
    e.bib = valueOf(f[2]);
    e.round = valueOf(f[3]);
    e.name = valueOf(f[4]);
    e.flight = valueOf(f[5]);
    e.landing = valueOf(f[6]);
    e.outrun = valueOf(f[7]);
    e.mark = valueOf(f[8]);
    for (const Outcome outcome : s_written) {
        if (f[9] == outcomeText(outcome)) {
            e.outcome = outcome;
            return true;
        }
    }
    return false;
}

Reading readAll(const QString &text)
{
    Reading reading;
    for (const QStringList &record : records(text)) {
        Entry entry;
        if (read(record, entry))
            reading.entries << entry;
        else if (record != columns())
            ++reading.unreadable;
    }
    return reading;
}

// --- writing -------------------------------------------------------------------------------

QString hostName()
{
    return QSysInfo::machineHostName();
}

File::File(QString folder, const QString &host) : m_folder(std::move(folder))
{
    // Only what every file system takes in a name; a name of nothing still names a file.
    for (const QChar c : host.left(63))
        m_host += c.isLetterOrNumber() || c == u'-' || c == u'.' ? c : u'_';
    if (m_host.isEmpty())
        m_host = u"station"_s;
}

QString File::fileFor(const QDate &day) const
{
    return m_folder + u'/' + day.toString(Qt::ISODate) + u'_' + m_host + u".csv"_s;
}

bool File::append(const Entry &entry)
{
    if (!QDir().mkpath(m_folder)) {
        m_error = u"Cannot create the folder %1"_s.arg(m_folder);
        return false;
    }
    QFile file(fileFor(entry.time.date()));
    const bool created = !file.exists();
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
        m_error = file.errorString();
        return false;
    }
    QByteArray bytes;
    if (file.size() == 0) {
        bytes = columns().join(u',').toUtf8() + "\r\n";
    } else {
        // A line cut short (a crash, a full disk) is ended first, so that the next line
        // never joins it.
        char last = 0;
        if (!file.seek(file.size() - 1) || !file.getChar(&last)) {
            m_error = file.errorString();
            return false;
        }
        if (last != '\n')
            bytes = "\r\n";
    }
    bytes += line(entry).toUtf8() + "\r\n";
    if (file.write(bytes) != bytes.size() || !syncFile(file)) {
        m_error = file.errorString();
        return false;
    }
    if (created && !syncFolder(m_folder)) {
        m_error = u"Cannot store the folder %1 on the disk"_s.arg(m_folder);
        return false;
    }
    m_error.clear();
    return true;
}

void toStandardError(const QString &text)
{
    std::fputs((text + u'\n').toUtf8().constData(), stderr);
    std::fflush(stderr);
}

struct Writer::Shared
{
    explicit Shared(QString folder) : file(std::move(folder))
    {
        write = [this](const Entry &entry, QString *error) {
            const bool ok = file.append(entry);
            *error = file.error();
            return ok;
        };
    }

    // The lines the disk has not taken when the owner leaves; those queued are never written.
    void tellLeftBehind()
    {
        if (current)
            lost(u"Tollivane: maybe not in the mark journal (still being written when the program "
                 "closed): "_s +
                 line(*current));
        for (const auto &item : waiting)
            lost(u"Tollivane: not in the mark journal (the disk did not take it before the "
                 "program closed): "_s +
                 line(item.second));
        waiting.clear();
    }

    // What the owner's thread and the writing thread share: the lines on their way, for the
    // close. The lines themselves travel as posted work.
    std::mutex mutex;
    std::condition_variable idle;
    std::deque<std::pair<quint64, Entry>> waiting;
    std::optional<Entry> current; // being written
    quint64 next = 0;
    bool closed = false;
    QObject *writing = nullptr; // lives on the writing thread
    QObject *answers = nullptr; // lives on the owner's thread; null once the owner is gone
    File file;                  // the writing thread's only
    Writer::Write write;
    Lost lost = toStandardError;
    std::chrono::milliseconds closeWait{2000};
};

Writer::Writer(QString folder) : m_shared(std::make_shared<Shared>(std::move(folder)))
{
    m_shared->answers = new QObject;
    // A thread of Qt's: the file is a Qt object, and a Qt object on a thread Qt did not start
    // crashes MinGW's build (Windows) when that thread ends. Never waited for, as before.
    auto *thread = new QThread;
    m_shared->writing = new QObject;
    m_shared->writing->moveToThread(thread);
    QObject::connect(thread, &QThread::finished, m_shared->writing, &QObject::deleteLater);
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

Writer::Writer(Write write, Lost lost, int closeWaitMs) : Writer(QString())
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->write = std::move(write);
    m_shared->lost = std::move(lost);
    m_shared->closeWait = std::chrono::milliseconds(closeWaitMs);
}

Writer::~Writer()
{
    QObject *answers = nullptr;
    {
        std::unique_lock lock(m_shared->mutex);
        m_shared->idle.wait_for(lock, m_shared->closeWait,
                                [this] { return m_shared->waiting.empty() && !m_shared->current; });
        m_shared->tellLeftBehind();
        m_shared->closed = true;
        answers = std::exchange(m_shared->answers, nullptr);
    }
    // Ends once the line being written is on the disk, if ever.
    m_shared->writing->thread()->quit();
    delete answers;
}

QString Writer::fileFor(const QDate &day) const
{
    return m_shared->file.fileFor(day);
}

quint64 Writer::queue(const Entry &entry)
{
    const std::lock_guard lock(m_shared->mutex);
    const quint64 number = m_shared->next++;
    m_shared->waiting.push_back({number, entry});
    return number;
}

QObject *Writer::writingThread() const
{
    return m_shared->writing;
}

QObject *Writer::answers() const
{
    return m_shared->answers;
}

bool Writer::write(const std::shared_ptr<Shared> &shared, quint64 number, QString *error)
{
    Entry entry;
    Write write;
    {
        const std::lock_guard lock(shared->mutex);
        if (shared->closed || shared->waiting.empty() || shared->waiting.front().first != number)
            return false; // told as lost at the close: never written afterwards
        entry = shared->waiting.front().second;
        shared->waiting.pop_front();
        shared->current = entry;
        write = shared->write;
    }
    const bool ok = write(entry, error);
    const std::lock_guard lock(shared->mutex);
    // Once the owner is gone it has told what was left; nobody listens any more.
    if (!ok && !shared->closed)
        shared->lost(u"Tollivane: not in the mark journal (%1): %2"_s.arg(*error, line(entry)));
    shared->current.reset();
    shared->idle.notify_all();
    return ok;
}

Reply<Done> Writer::timedOut(int waitMs)
{
    return Reply<Done>::failure(Failure::TimedOut,
                                u"the disk did not take the line within %1 ms"_s.arg(waitMs));
}

} // namespace journal
