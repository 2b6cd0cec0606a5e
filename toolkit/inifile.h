#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// A Windows-style INI file: sections and keys match without regard to letter case, the first
// match wins, writing changes one line and keeps every other line byte for byte. Each call
// reads the file afresh; each write replaces the file atomically.
class IniFile
{
public:
    explicit IniFile(QString path);

    const QString &path() const { return m_path; }

    QString readString(const QString &section, const QString &key,
                       const QString &defaultValue) const;

    // False when the file could not be written; the old file then stays as it was.
    bool writeString(const QString &section, const QString &key, const QString &value);

    // Files larger than this are not read (defaults apply) and not rewritten.
    static constexpr qint64 maxSize = 4 * 1024 * 1024;

private:
    struct Lines
    {
        bool readable = true;
        QByteArray byteOrderMark; // the file's, if it has one
        QList<QByteArray> lines;  // each with its line ending, if any
    };
    Lines load() const;

    QString m_path;
};

namespace settings {

// The user's configuration folder: $XDG_CONFIG_HOME (default ~/.config); on Windows %APPDATA%.
QString userFolder();

// Where the station's settings may live. Windows: the fixed path under Program Files, which a
// standard user cannot write, and the user's own copy under %APPDATA%. Elsewhere one file in
// the user's configuration folder ($XDG_CONFIG_HOME, default ~/.config): both are the same.
struct StationFiles
{
    QString machine;
    QString user;
};
StationFiles stationFiles();

// Whether a settings file at the path can be written (and replaced).
using WriteCheck = std::function<bool(const QString &path)>;
bool canWrite(const QString &path);
// Replaces canWrite() for stationFileForWriting(), for tests (Wine lets anyone write under
// Program Files); an empty function restores it.
void setWriteCheck(WriteCheck check);

// The file the station reads: the user's copy once there is one, else the machine's file.
QString readPath(const StationFiles &files);
// The file the station writes: the user's copy once there is one; else the machine's file if it
// can be written; else a new user copy, which starts as a copy of the machine's file.
QString writePath(const StationFiles &files, const WriteCheck &canWrite);

QString stationFilePath();       // readPath() of this station
QString stationFileForWriting(); // writePath() of this station

} // namespace settings
