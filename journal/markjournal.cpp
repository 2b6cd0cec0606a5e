#include "journal/markjournal.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace journal {

namespace {

const struct
{
    Outcome outcome;
    const char16_t *text;
} s_outcomes[] = {
    {Outcome::Registered, u"registered"},
    {Outcome::Failed, u"failed"},
    {Outcome::CompetitorChanged, u"competitor changed"},
};

QString quoted(const QString &field)
{
    const bool needsQuotes = field.contains(u',') || field.contains(u'"') ||
                             field.contains(u'\n') || field.contains(u'\r');
    if (!needsQuotes)
        return field;
    QString escaped = field;
    escaped.replace(u'"', u"\"\""_s);
    return u'"' + escaped + u'"';
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

bool syncToDisk(QFile &file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_WIN
    return ::_commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

} // namespace

QString outcomeText(Outcome outcome)
{
    for (const auto &o : s_outcomes) {
        if (o.outcome == outcome)
            return QString::fromUtf16(o.text);
    }
    return QString();
}

QStringList columns()
{
    return {u"time"_s,   u"seat"_s,    u"bib"_s,    u"round"_s, u"name"_s,
            u"flight"_s, u"landing"_s, u"outrun"_s, u"mark"_s,  u"outcome"_s};
}

QString folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           u"/VELMOR/Tollivane/journal"_s;
}

QString line(const Entry &e)
{
    const QStringList values = {
        timeText(e.time), e.seat,    e.bib,    e.round, e.name,
        e.flight,         e.landing, e.outrun, e.mark,  outcomeText(e.outcome)};
    QStringList fields;
    for (const QString &value : values)
        fields << quoted(value);
    return fields.join(u',');
}

QList<QStringList> records(const QString &text)
{
    QList<QStringList> result;
    QStringList record;
    QString field;
    bool inQuotes = false;
    bool any = false; // the record has begun
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                inQuotes = false;
            } else {
                field += c;
            }
            continue;
        }
        if (c == u'"') {
            inQuotes = true;
            any = true;
        } else if (c == u',') {
            record << std::exchange(field, QString());
            any = true;
        } else if (c == u'\n' || c == u'\r') {
            if (any || !field.isEmpty()) {
                record << std::exchange(field, QString());
                result << std::exchange(record, QStringList());
            }
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (any || !field.isEmpty()) {
        record << field;
        result << record;
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
    e.bib = f[2];
    e.round = f[3];
    e.name = f[4];
    e.flight = f[5];
    e.landing = f[6];
    e.outrun = f[7];
    e.mark = f[8];
    for (const auto &o : s_outcomes) {
        if (f[9] == QString::fromUtf16(o.text)) {
            e.outcome = o.outcome;
            return true;
        }
    }
    return false;
}

QList<Entry> entries(const QString &text)
{
    QList<Entry> result;
    for (const QStringList &record : records(text)) {
        Entry entry;
        if (read(record, entry))
            result << entry;
    }
    return result;
}

QString Writer::fileFor(const QDate &day) const
{
    return m_folder + u'/' + day.toString(Qt::ISODate) + u".csv"_s;
}

bool Writer::append(const Entry &entry)
{
    if (!QDir().mkpath(m_folder)) {
        m_error = u"Cannot create the folder %1"_s.arg(m_folder);
        return false;
    }
    QFile file(fileFor(entry.time.date()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_error = file.errorString();
        return false;
    }
    QByteArray bytes;
    if (file.size() == 0)
        bytes = columns().join(u',').toUtf8() + "\r\n";
    bytes += line(entry).toUtf8() + "\r\n";
    if (file.write(bytes) != bytes.size() || !syncToDisk(file)) {
        m_error = file.errorString();
        return false;
    }
    m_error.clear();
    return true;
}

} // namespace journal
