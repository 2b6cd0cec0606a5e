#include "toolkit/inifile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

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

    void readOnlyFolderKeepsTheOldFile()
    {
        if (geteuid() == 0) {
            // Root writes into any folder; a read-only file system refuses even root.
            const QByteArray before = readFile(u"/proc/version"_s);
            QVERIFY(!IniFile(u"/proc/version"_s).writeString(u"Tollvn"_s, u"DbType"_s, u"MySQL"_s));
            QCOMPARE(readFile(u"/proc/version"_s), before);
            return;
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(u"t.ini"_s);
        writeFile(path, "[Tollvn]\nDbType=Interbase\n");
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        const bool written = IniFile(path).writeString(u"Tollvn"_s, u"DbType"_s, u"MySQL"_s);
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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

    void stationPathFollowsXdgConfigHome()
    {
        qputenv("XDG_CONFIG_HOME", "/tmp/xdg-test");
        QCOMPARE(settings::stationFilePath(), u"/tmp/xdg-test/VELMOR/Tollivane/Tollivane.ini"_s);
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
