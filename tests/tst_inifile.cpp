#include "toolkit/inifile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

class TestIniFile : public QObject
{
    Q_OBJECT

    static void writeFile(const QString &path, const QByteArray &content)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    static QByteArray readFile(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void read_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        const QByteArray written = "[Tollvn]\r\nDbType=MySQL\r\nDbdir=local\r\n";
        QTest::newRow("key written as Dbdir is read as DbDir")
            << written << u"Tollvn"_s << u"DbDir"_s << u"local"_s;
        QTest::newRow("section in other case")
            << written << u"TOLLVN"_s << u"DbType"_s << u"MySQL"_s;
        QTest::newRow("value keeps its case")
            << QByteArray("[Tollvn]\nDbDir=Local\n") << u"Tollvn"_s << u"DbDir"_s << u"Local"_s;
        QTest::newRow("blanks around key and value")
            << QByteArray("[Tollvn]\n  DbType =  MySQL  \n") << u"Tollvn"_s << u"DbType"_s
            << u"MySQL"_s;
        QTest::newRow("key of another section is not taken")
            << QByteArray("[Other]\nDbType=MySQL\n[Tollvn]\n") << u"Tollvn"_s << u"DbType"_s
            << u"default"_s;
        QTest::newRow("first of two keys wins")
            << QByteArray("[Tollvn]\nDbType=A\nDBTYPE=B\n") << u"Tollvn"_s << u"DbType"_s << u"A"_s;
        QTest::newRow("comment line is no key") << QByteArray("[Tollvn]\n;DbType=MySQL\n")
                                                << u"Tollvn"_s << u"DbType"_s << u"default"_s;
        QTest::newRow("empty file") << QByteArray() << u"Tollvn"_s << u"DbType"_s << u"default"_s;
        QTest::newRow("a byte-order mark before the first section")
            << QByteArray("\xEF\xBB\xBF[Tollvn]\r\nDbType=MySQL\r\n") << u"Tollvn"_s << u"DbType"_s
            << u"MySQL"_s;
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\xfe[\x01=\n\x80\x81", 10)
                                        << u"Tollvn"_s << u"DbType"_s << u"default"_s;
        QTest::newRow("empty value is a value")
            << QByteArray("[Tollvn]\nDbType=\n") << u"Tollvn"_s << u"DbType"_s << QString(u""_s);
    }
    void read()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"t.ini"_s);
        writeFile(path, content);
        QCOMPARE(IniFile(path).readString(section, key, u"default"_s), expected);
    }

    void missingFileGivesDefault()
    {
        QTemporaryDir dir;
        QCOMPARE(IniFile(dir.filePath(u"none.ini"_s))
                     .readString(u"Tollvn"_s, u"DbType"_s, u"Interbase"_s),
                 u"Interbase"_s);
    }

    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("new file") << QByteArray() << QByteArray("[Tollvn]\nDbType=MySQL\n");
        QTest::newRow("replaces the key under any case, keeps other lines")
            << QByteArray(
                   "; station\r\n[tollvn]\r\nDBTYPE=Interbase\r\nOther=1\r\n[X]\r\nDbType=keep\r\n")
            << QByteArray(
                   "; station\r\n[tollvn]\r\nDbType=MySQL\r\nOther=1\r\n[X]\r\nDbType=keep\r\n");
        QTest::newRow("appends to the end of its section")
            << QByteArray("[Tollvn]\nDbdir=local\n\n[X]\na=b\n")
            << QByteArray("[Tollvn]\nDbdir=local\nDbType=MySQL\n\n[X]\na=b\n");
        QTest::newRow("new section after a last line without line break")
            << QByteArray("[X]\na=b") << QByteArray("[X]\na=b\n[Tollvn]\nDbType=MySQL\n");
        QTest::newRow("a byte-order mark is kept in front")
            << QByteArray("\xEF\xBB\xBF[Tollvn]\nDbType=Interbase\n")
            << QByteArray("\xEF\xBB\xBF[Tollvn]\nDbType=MySQL\n");
        QTest::newRow("garbage lines are kept byte for byte")
            << QByteArray("\xff\xfe\x01junk\n[Tollvn]\n")
            << QByteArray("\xff\xfe\x01junk\n[Tollvn]\nDbType=MySQL\n");
    }
    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"t.ini"_s);
        if (!before.isEmpty())
            writeFile(path, before);
        QVERIFY(IniFile(path).writeString(u"Tollvn"_s, u"DbType"_s, u"MySQL"_s));
        QCOMPARE(readFile(path), after);
    }

    void writeCreatesTheFolder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"VELMOR/Tollivane/Tollivane.ini"_s);
        IniFile ini(path);
        QVERIFY(ini.writeString(u"Tollvn"_s, u"DbType"_s, u"MySQL"_s));
        QVERIFY(ini.writeString(u"Tollvn"_s, u"Dbdir"_s, u"local"_s));
        QCOMPARE(readFile(path), QByteArray("[Tollvn]\nDbType=MySQL\nDbdir=local\n"));
    }

    void readOnlyFileKeepsItsContent()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"t.ini"_s);
        writeFile(path, "[Tollvn]\nDbType=Interbase\n");
#ifdef Q_OS_WIN
        // The read-only mark: a file the station cannot replace.
        QFile::setPermissions(path, QFile::ReadOwner);
        const bool written = IniFile(path).writeString(u"Tollvn"_s, u"DbType"_s, u"MySQL"_s);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
#else
        if (geteuid() == 0) {
            // Root writes into any folder; a read-only file system refuses even root.
            const QByteArray before = readFile(u"/proc/version"_s);
            QVERIFY(!IniFile(u"/proc/version"_s).writeString(u"Tollvn"_s, u"DbType"_s, u"MySQL"_s));
            QCOMPARE(readFile(u"/proc/version"_s), before);
            return;
        }
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        const bool written = IniFile(path).writeString(u"Tollvn"_s, u"DbType"_s, u"MySQL"_s);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
#endif
        QVERIFY(!written);
        QCOMPARE(readFile(path), QByteArray("[Tollvn]\nDbType=Interbase\n"));
    }

    void folderThatCannotBeMadeIsNoCrash()
    {
        QTemporaryDir dir;
        const QString blocker = dir.filePath(u"file"_s);
        writeFile(blocker, "x");
        // A plain file where the folder should be: the write fails, nothing else happens.
        QVERIFY(
            !IniFile(blocker + u"/sub/t.ini"_s).writeString(u"Tollvn"_s, u"DbType"_s, u"MySQL"_s));
        QCOMPARE(readFile(blocker), QByteArray("x"));
    }

    void oversizedFileIsNeitherReadNorReplaced()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"t.ini"_s);
        QByteArray big = "[Tollvn]\nDbType=MySQL\n";
        big.append(QByteArray(IniFile::maxSize, 'x'));
        writeFile(path, big);
        IniFile ini(path);
        QCOMPARE(ini.readString(u"Tollvn"_s, u"DbType"_s, u"Interbase"_s), u"Interbase"_s);
        QVERIFY(!ini.writeString(u"Tollvn"_s, u"DbType"_s, u"X"_s));
        QCOMPARE(QFileInfo(path).size(), big.size());
    }

    void stationFilesFollowTheUsersFolder()
    {
        QTemporaryDir dir;
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
        qputenv("APPDATA", QDir::toNativeSeparators(dir.path()).toLocal8Bit());
        const settings::StationFiles files = settings::stationFiles();
        QCOMPARE(files.user, dir.filePath(u"VELMOR/Tollivane/Tollivane.ini"_s));
#ifdef Q_OS_WIN
        QCOMPARE(files.machine, u"C:\\program files\\VELMOR\\Tollivane\\Tollivane.ini"_s);
#else
        QCOMPARE(files.machine, files.user);
#endif
    }

    // A standard Windows user cannot write under Program Files: the station keeps its settings
    // in the user's own copy and reads that first; a station that can write there goes on
    // doing so. What the station writes is what it reads at its next start.
    void settingsGoWhereTheyCanBeWritten_data()
    {
        QTest::addColumn<QByteArray>("machine"); // null: no file
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<bool>("machineWritable");
        QTest::addColumn<QString>("readsFirst");
        QTest::addColumn<QString>("writes");
        QTest::addColumn<QByteArray>("userAfter");

        const QByteArray none;
        const QByteArray preset = "; set up by the administrator\r\n[Tollvn]\r\nDbType=Interbase"
                                  "\r\nDbdir=local\r\n[Other]\r\nKey=1\r\n";
        const QByteArray own = "[Tollvn]\nDbType=MySQL\nDbdir=server\n";
        QTest::newRow("no file, Program Files writable")
            << none << none << true << u"machine"_s << u"machine"_s << none;
        QTest::newRow("no file, Program Files closed")
            << none << none << false << u"machine"_s << u"user"_s
            << QByteArray("[Tollvn]\nDbType=MySQL\n");
        QTest::newRow("the machine's file, writable")
            << preset << none << true << u"machine"_s << u"machine"_s << none;
        QTest::newRow("the machine's file, closed: the copy keeps its other lines")
            << preset << none << false << u"machine"_s << u"user"_s
            << QByteArray("; set up by the administrator\r\n[Tollvn]\r\nDbType=MySQL\r\n"
                          "Dbdir=local\r\n[Other]\r\nKey=1\r\n");
        QTest::newRow("a user copy, the machine's file writable again")
            << preset << own << true << u"user"_s << u"user"_s
            << QByteArray("[Tollvn]\nDbType=MySQL\nDbdir=server\n");
        QTest::newRow("a user copy, no machine's file")
            << none << own << false << u"user"_s << u"user"_s
            << QByteArray("[Tollvn]\nDbType=MySQL\nDbdir=server\n");
    }
    void settingsGoWhereTheyCanBeWritten()
    {
        QFETCH(QByteArray, machine);
        QFETCH(QByteArray, user);
        QFETCH(bool, machineWritable);
        QFETCH(QString, readsFirst);
        QFETCH(QString, writes);
        QFETCH(QByteArray, userAfter);
        QTemporaryDir dir;
        const settings::StationFiles files{dir.filePath(u"Program Files/Tollivane.ini"_s),
                                           dir.filePath(u"AppData/Tollivane.ini"_s)};
        QDir().mkpath(dir.filePath(u"Program Files"_s));
        if (!machine.isNull())
            writeFile(files.machine, machine);
        if (!user.isNull()) {
            QDir().mkpath(dir.filePath(u"AppData"_s));
            writeFile(files.user, user);
        }
        const auto named = [&files](const QString &path) {
            return path == files.machine ? u"machine"_s : path == files.user ? u"user"_s : path;
        };
        QStringList asked;
        const settings::WriteCheck check = [&](const QString &path) {
            asked << named(path);
            return machineWritable;
        };

        QCOMPARE(named(settings::readPath(files)), readsFirst);
        const QString written = settings::writePath(files, check);
        QCOMPARE(named(written), writes);
        // Only a choice still open asks whether the machine's file can be written.
        QCOMPARE(asked, user.isNull() ? QStringList{u"machine"_s} : QStringList());
        QVERIFY(IniFile(written).writeString(u"Tollvn"_s, u"DbType"_s, u"MySQL"_s));
        QCOMPARE(IniFile(settings::readPath(files)).readString(u"Tollvn"_s, u"DbType"_s, {}),
                 u"MySQL"_s);
        QCOMPARE(readFile(files.user), userAfter.isNull() ? QByteArray() : userAfter);
        if (writes == u"user")
            QCOMPARE(readFile(files.machine), machine.isNull() ? QByteArray() : machine);
    }

    void writeCheckTriesTheFolder()
    {
        QTemporaryDir dir;
        QVERIFY(settings::canWrite(dir.filePath(u"new/folder/t.ini"_s)));
        QVERIFY(QFileInfo(dir.filePath(u"new/folder"_s)).isDir());
        QCOMPARE(QDir(dir.filePath(u"new/folder"_s)).entryList(QDir::Files), QStringList());
        writeFile(dir.filePath(u"file"_s), "x");
        QVERIFY(!settings::canWrite(dir.filePath(u"file/t.ini"_s)));
#ifdef Q_OS_WIN
        const QString marked = dir.filePath(u"marked.ini"_s);
        writeFile(marked, "[Tollvn]\n");
        QFile::setPermissions(marked, QFile::ReadOwner);
        const bool writable = settings::canWrite(marked);
        QFile::setPermissions(marked, QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(!writable);
#endif
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
