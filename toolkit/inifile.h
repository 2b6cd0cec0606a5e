#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

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

// Where the station's settings live: the fixed Windows path, elsewhere the same folders under
// the user's configuration folder ($XDG_CONFIG_HOME, default ~/.config).
QString stationFilePath();

} // namespace settings
