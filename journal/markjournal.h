#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The station's own record of every registration outcome, kept on its disk so that it can be
// shown afterwards that each confirmed mark reached the competition database (jumpdb audit).
// One UTF-8 CSV file a day, named after the local date, with a header line; every line is on
// the disk (fsync) before the window shows the outcome.
namespace journal {

enum class Outcome
{
    Registered,
    Failed,
    CompetitorChanged
};

struct Entry
{
    QDateTime time; // local time; written with its UTC offset
    QString seat;
    QString bib; // as read from the judge's table
    QString round;
    QString name;
    QString flight, landing, outrun, mark;
    Outcome outcome = Outcome::Registered;
};

QString outcomeText(Outcome outcome); // "registered", "failed", "competitor changed"
// The columns of the header line, in order.
QStringList columns();

// The journal's folder: $XDG_DATA_HOME/VELMOR/Tollivane/journal (by default under
// ~/.local/share), on Windows the local application data folder.
QString folder();

// The CSV line of an entry (standard quoting, no line break at its end).
QString line(const Entry &entry);
// The records of a CSV text (a quoted field may hold commas, quotes and line breaks), and an
// entry from one record; read gives false for a record that is no entry (the header).
QList<QStringList> records(const QString &text);
bool read(const QStringList &fields, Entry &entry);
// The entries of a journal file's text, in order.
QList<Entry> entries(const QString &text);

// Appends entries to the day's file in a folder; every line is on the disk when append
// returns. Returns false when it could not write (a full disk, a read-only folder), with
// the reason in error().
class Writer
{
public:
    explicit Writer(QString folder = journal::folder()) : m_folder(std::move(folder)) {}
    bool append(const Entry &entry);
    QString error() const { return m_error; }
    QString fileFor(const QDate &day) const;

private:
    QString m_folder;
    QString m_error;
};

} // namespace journal
