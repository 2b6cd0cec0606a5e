#include "toolkit/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>

using namespace Qt::StringLiterals;

namespace {

QByteArray stripEnding(const QByteArray &line)
{
    QByteArray s = line;
    while (s.endsWith('\n') || s.endsWith('\r'))
        s.chop(1);
    return s;
}

// The section name if the line is a section header, else a null array.
QByteArray sectionOf(const QByteArray &line)
{
    const QByteArray s = stripEnding(line).trimmed();
    if (s.startsWith('[')) {
        const qsizetype close = s.indexOf(']');
        if (close > 0)
            return s.mid(1, close - 1).trimmed();
    }
    return QByteArray();
}

bool sameName(const QByteArray &a, const QString &b)
{
    return QString::fromUtf8(a).compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

struct KeyLine
{
    QByteArray key;
    QByteArray value;
};

bool parseKey(const QByteArray &line, KeyLine &out)
{
    const QByteArray s = stripEnding(line);
    const QByteArray t = s.trimmed();
    if (t.isEmpty() || t.startsWith(';') || t.startsWith('['))
        return false;
    const qsizetype eq = s.indexOf('=');
    if (eq < 0)
        return false;
    out.key = s.left(eq).trimmed();
    out.value = s.mid(eq + 1).trimmed();
    if (out.value.size() >= 2 && out.value.startsWith('"') && out.value.endsWith('"'))
        out.value = out.value.mid(1, out.value.size() - 2);
    return true;
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

IniFile::Lines IniFile::load() const
{
    Lines result;
    QFile f(m_path);
    if (!f.exists())
        return result;
    if (f.size() > maxSize || !f.open(QIODevice::ReadOnly)) {
        result.readable = false;
        return result;
    }
    QByteArray all = f.read(maxSize + 1);
    if (all.size() > maxSize) {
        result.readable = false;
        return result;
    }
    // Windows editors start a UTF-8 file with a byte-order mark: not part of the first line,
    // and kept when the file is written again.
    static const QByteArray byteOrderMark("\xEF\xBB\xBF");
    if (all.startsWith(byteOrderMark)) {
        result.byteOrderMark = byteOrderMark;
        all.remove(0, byteOrderMark.size());
    }
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype nl = all.indexOf('\n', start);
        const qsizetype end = nl < 0 ? all.size() : nl + 1;
        result.lines.append(all.mid(start, end - start));
        start = end;
    }
    return result;
}

QString IniFile::readString(const QString &section, const QString &key,
                            const QString &defaultValue) const
{
    const Lines file = load();
    bool inSection = false;
    bool sectionSeen = false;
    for (const QByteArray &line : file.lines) {
        const QByteArray name = sectionOf(line);
        if (!name.isNull()) {
            if (sectionSeen && inSection)
                break; // only the first matching section counts
            inSection = sameName(name, section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        KeyLine kv;
        if (inSection && parseKey(line, kv) && sameName(kv.key, key))
            return QString::fromUtf8(kv.value);
    }
    return defaultValue;
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    Lines file = load();
    if (!file.readable)
        return false;

    QByteArray eol = "\n";
    if (!file.lines.isEmpty() && file.lines.first().endsWith("\r\n"))
        eol = "\r\n";
    const QByteArray newLine = key.toUtf8() + '=' + value.toUtf8() + eol;

    qsizetype sectionLine = -1;
    qsizetype lastContent = -1; // last non-blank line of the section
    qsizetype keyLine = -1;
    for (qsizetype i = 0; i < file.lines.size(); ++i) {
        const QByteArray name = sectionOf(file.lines[i]);
        if (!name.isNull()) {
            if (sectionLine >= 0)
                break;
            if (sameName(name, section)) {
                sectionLine = i;
                lastContent = i;
            }
            continue;
        }
        if (sectionLine < 0)
            continue;
        if (!stripEnding(file.lines[i]).trimmed().isEmpty())
            lastContent = i;
        KeyLine kv;
        if (parseKey(file.lines[i], kv) && sameName(kv.key, key)) {
            keyLine = i;
            break;
        }
    }

    if (keyLine >= 0) {
        file.lines[keyLine] = newLine;
    } else if (sectionLine >= 0) {
        QByteArray &before = file.lines[lastContent];
        if (!before.endsWith('\n'))
            before += eol;
        file.lines.insert(lastContent + 1, newLine);
    } else {
        if (!file.lines.isEmpty() && !file.lines.last().endsWith('\n'))
            file.lines.last() += eol;
        file.lines.append('[' + section.toUtf8() + ']' + eol);
        file.lines.append(newLine);
    }

    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(file.byteOrderMark);
    for (const QByteArray &line : std::as_const(file.lines))
        out.write(line);
    return out.commit();
}

namespace settings {

QString userFolder()
{
#ifdef Q_OS_WIN
    // The roaming application data folder; Windows sets the variable in every session.
    QString base = QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA"));
    if (base.isEmpty())
        base = QDir::homePath() + u"/AppData/Roaming"_s;
#else
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + u"/.config"_s;
#endif
    return base;
}

namespace {

WriteCheck s_check; // the window's thread alone sets and reads it

} // namespace

StationFiles stationFiles()
{
    const QString user = userFolder() + u"/VELMOR/Tollivane/Tollivane.ini"_s;
#ifdef Q_OS_WIN
    return {u"C:\\program files\\VELMOR\\Tollivane\\Tollivane.ini"_s, user};
#else
    return {user, user};
#endif
}

bool canWrite(const QString &path)
{
    // What IniFile::writeString needs: the folder (made if missing) takes a new file, which then
    // replaces the old one. Permissions are tried, not read: Windows grants them by lists.
    const QFileInfo file(path);
    if (!QDir().mkpath(file.absolutePath()))
        return false;
    QTemporaryFile probe(file.absolutePath() + u"/Tollivane-XXXXXX.tmp"_s);
    if (!probe.open())
        return false;
    QFile existing(path);
    if (!existing.exists())
        return true;
    // A file marked read-only is not replaced, also not for an administrator.
    return QFileInfo(path).isWritable() && existing.open(QIODevice::ReadWrite);
}

void setWriteCheck(WriteCheck check)
{
    s_check = std::move(check);
}

QString readPath(const StationFiles &files)
{
    return QFileInfo::exists(files.user) ? files.user : files.machine;
}

QString writePath(const StationFiles &files, const WriteCheck &canWrite)
{
    if (files.user == files.machine || QFileInfo::exists(files.user))
        return files.user;
    if (canWrite(files.machine))
        return files.machine;
    // The machine's other lines stay with the station's settings.
    if (QFileInfo::exists(files.machine) && QDir().mkpath(QFileInfo(files.user).absolutePath()) &&
        QFile::copy(files.machine, files.user)) {
        // A copy keeps a read-only mark, which may be why the machine's file cannot be written.
        QFile::setPermissions(files.user, QFile::ReadOwner | QFile::WriteOwner);
    }
    return files.user;
}

QString stationFilePath()
{
    return readPath(stationFiles());
}

QString stationFileForWriting()
{
    return writePath(stationFiles(), s_check ? s_check : WriteCheck(canWrite));
}

} // namespace settings
