#include "db/aliases.h"
#include "db/dbengine.h"
#include "db/profiles.h"
#include "toolkit/codepage.h"
#include "tools/stationalias.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using aliases::Driver;
using stationalias::Wanted;

Q_DECLARE_METATYPE(aliases::Driver)
Q_DECLARE_METATYPE(aliases::Encoding)
Q_DECLARE_METATYPE(codepage::Kind)
Q_DECLARE_METATYPE(stationalias::Wanted)

namespace {

const QString noFile; // null: the row runs without an alias file

const QString jumpSection =
    u"[Jump]\r\nDriver=InterBase\r\n"
    "C:\\IB_data\\Jump.GDB=localhost:/var/lib/firebird/3.0/data/jump.fdb\r\n"
    "G:\\Jump.GDB=scorer/3051:/srv/jump.fdb\r\n"_s;

QStringList interbase(profiles::Location location)
{
    return profiles::interbaseParams(location);
}

} // namespace

class TstDbAliases : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // Points TOLLIVANE_ALIASES at a file with this text, or at a missing file for a null text.
    void useAliasFile(const QString &text)
    {
        const QString path = m_dir.filePath(u"aliases.ini"_s);
        QFile::remove(path);
        if (!text.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text.toUtf8());
        }
        qputenv("TOLLIVANE_ALIASES", path.toLocal8Bit());
    }

    static QStringList params(std::initializer_list<QString> lines) { return QStringList(lines); }

private Q_SLOTS:
    void resolve_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<Driver>("driver");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");

        const QString fdb = u"localhost:/var/lib/firebird/3.0/data/jump.fdb"_s;
        QTest::newRow("InterBase Local location mapped to the server's database")
            << jumpSection << u"Jump"_s << interbase(profiles::Location::Local) << Driver::InterBase
            << fdb << u"SYSDBA"_s << u"pewtergum"_s;
        QTest::newRow("a byte-order mark before the first section")
            << u"\uFEFF"_s + jumpSection << u"Jump"_s << interbase(profiles::Location::Local)
            << Driver::InterBase << fdb << u"SYSDBA"_s << u"pewtergum"_s;
        QTest::newRow("InterBase Server location mapped to a host with a port")
            << jumpSection << u"Jump"_s << interbase(profiles::Location::Server)
            << Driver::InterBase << u"scorer/3051:/srv/jump.fdb"_s << u"SYSDBA"_s << u"pewtergum"_s;
        QTest::newRow("alias and location match without regard to case")
            << jumpSection << u"JUMP"_s << params({u"server name=c:\\ib_data\\JUMP.gdb"_s})
            << Driver::InterBase << fdb << QString() << QString();
        QTest::newRow("InterBase location with a host and no mapping is used as given")
            << jumpSection << u"Jump"_s << params({u"SERVER NAME=db1:/data/x.fdb"_s})
            << Driver::InterBase << u"db1:/data/x.fdb"_s << QString() << QString();
        QTest::newRow("no alias file: Jump takes InterBase with the location as given")
            << noFile << u"Jump"_s
            << params({u"SERVER NAME=localhost:/srv/j.fdb"_s, u"USER NAME=SYSDBA"_s})
            << Driver::InterBase << u"localhost:/srv/j.fdb"_s << u"SYSDBA"_s << QString();
        QTest::newRow("no alias file: JumpLocal takes ODBC with its DSN line")
            << noFile << u"JumpLocal"_s << profiles::mysqlParams(profiles::Location::Local)
            << Driver::Odbc << u"JumpLocal"_s << u"root"_s << u"rusko"_s;
        QTest::newRow("no alias file: JumpServer takes ODBC with its DSN line")
            << noFile << u"JumpServer"_s << profiles::mysqlParams(profiles::Location::Server)
            << Driver::Odbc << u"JumpServer"_s << u"root"_s << u"rusko"_s;
        QTest::newRow("alias file without the alias's section: defaults apply")
            << jumpSection << u"JumpServer"_s << profiles::mysqlParams(profiles::Location::Server)
            << Driver::Odbc << u"JumpServer"_s << u"root"_s << u"rusko"_s;
        QTest::newRow("ODBC DSN key overrides the parameter line")
            << u"[JumpLocal]\nDriver=ODBC\nDSN=Scoring\n"_s << u"JumpLocal"_s
            << profiles::mysqlParams(profiles::Location::Local) << Driver::Odbc << u"Scoring"_s
            << u"root"_s << u"rusko"_s;
        QTest::newRow("ODBC without any DSN takes the alias name")
            << u"[Hall]\nDriver=odbc\n"_s << u"Hall"_s << QStringList() << Driver::Odbc << u"Hall"_s
            << QString() << QString();
        // The club's own login over the profile's; a PasswordFile of the station's account,
        // named from its home folder.
        qputenv("HOME", m_dir.path().toLocal8Bit());
        qputenv("USERPROFILE", m_dir.path().toLocal8Bit());
        QFile password(m_dir.filePath(u"station.pw"_s));
        QVERIFY(password.open(QIODevice::WriteOnly) && password.write(" pw \r\nnot this\n") > 0);
        QTest::newRow("User only: the profile's password stands")
            << jumpSection + u"User=tv_hill\n"_s << u"Jump"_s
            << interbase(profiles::Location::Local) << Driver::InterBase << fdb << u"tv_hill"_s
            << u"pewtergum"_s;
        QTest::newRow("User and Password on a MySQL profile")
            << u"[JumpLocal]\nDriver=ODBC\nuser = tv_hill\nPASSWORD=a;b c\n"_s << u"JumpLocal"_s
            << profiles::mysqlParams(profiles::Location::Local) << Driver::Odbc << u"JumpLocal"_s
            << u"tv_hill"_s << u"a;b c"_s;
        QTest::newRow("a password from the account's file, its line end dropped")
            << jumpSection + u"User=tv_hill\nPasswordFile=station.pw\n"_s << u"Jump"_s
            << interbase(profiles::Location::Local) << Driver::InterBase << fdb << u"tv_hill"_s
            << u" pw "_s;
        // An absolute path of this system (C:/... on Windows), in a folder of its own.
        const QString elsewhere = m_dir.filePath(u"elsewhere/demo.sqlite"_s);
        QTest::newRow("SQLite absolute file")
            << u"[Demo]\nDriver=SQLite\nDatabase=%1\n"_s.arg(elsewhere) << u"Demo"_s
            << interbase(profiles::Location::Local) << Driver::Sqlite << elsewhere << QString()
            << QString();
        QTest::newRow("SQLite file relative to the alias file")
            << u"[Demo]\nDriver=SQLite\nDatabase=demo.sqlite\n"_s << u"Demo"_s << QStringList()
            << Driver::Sqlite << m_dir.filePath(u"demo.sqlite"_s) << QString() << QString();
    }
    void resolve()
    {
        QFETCH(QString, file);
        QFETCH(QString, alias);
        QFETCH(QStringList, params);
        useAliasFile(file);
        TextLines list;
        for (const QString &line : params)
            list.add(line);

        const aliases::Route route = aliases::resolve(alias, list);
        QTEST(route.driver, "driver");
        QTEST(route.database, "database");
        QTEST(route.userName, "user");
        QTEST(route.password, "password");
    }

    void encoding_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<aliases::Encoding>("encoding");
        const QString hall = u"[Hall]\nDriver=ODBC\n"_s;
        QTest::newRow("none given: UTF-8") << hall << aliases::Encoding::Utf8;
        QTest::newRow("UTF-8") << hall + u"Encoding=utf-8\n"_s << aliases::Encoding::Utf8;
        QTest::newRow("Shift_JIS") << hall + u"encoding=shift_jis\n"_s << aliases::Encoding::Cp932;
        QTest::newRow("SJIS with blanks")
            << hall + u"ENCODING= SJIS \n"_s << aliases::Encoding::Cp932;
    }
    void encoding()
    {
        QFETCH(QString, section);
        useAliasFile(section);
        QTEST(aliases::resolve(u"Hall"_s, TextLines()).encoding, "encoding");
    }

    // jumpdb alias's file, read back as the station reads it; a refused one stays as it was.
    void stationFileIsReadBack_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Wanted>("wanted");
        QTest::addColumn<QString>("outcome"); // the database read back, else a part of the error
        const QString fdb = u"192.168.1.10:/srv/jump.fdb"_s;
        QFile password(m_dir.filePath(u"station.pw"_s));
        QVERIFY(password.open(QIODevice::WriteOnly) && password.write("pw\n") > 0);
        const Wanted account{{}, u"Hall"_s, u"tv_hill"_s, password.fileName(), u"CP932"_s};
        QTest::newRow("a new file") << noFile << Wanted{fdb, {}, {}, {}, {}} << fdb;
        QTest::newRow("the example's [Jump]: its Local line kept")
            << jumpSection << Wanted{fdb, {}, {}, {}, {}} << fdb;
        QTest::newRow("MySQL Server, the station account, CP932")
            << jumpSection << account << u"Hall"_s;
        QTest::newRow("a bare path")
            << jumpSection << Wanted{u"/srv/j.fdb"_s, {}, {}, {}, {}} << u"must name the server"_s;
        QTest::newRow("a line break") << noFile << Wanted{u"h\nx"_s, {}, {}, {}, {}} << u"break"_s;
        QTest::newRow("a password file beside a password")
            << u"[JumpServer]\nPassword=x\n"_s << account << u"Password= line"_s;
    }
    void stationFileIsReadBack()
    {
        QFETCH(QString, file);
        QFETCH(Wanted, wanted);
        QFETCH(QString, outcome);
        useAliasFile(file);
        const QString path = qEnvironmentVariable("TOLLIVANE_ALIASES");
        const QString error = stationalias::write(wanted, path).error;
        QFile read(path);
        const QString text =
            read.open(QIODevice::ReadOnly) ? QString::fromUtf8(read.readAll()) : QString();
        if (!error.isEmpty()) {
            QVERIFY2(error.contains(outcome), qPrintable(error));
            QCOMPARE(text, file);
            return;
        }
        const bool mysql = !wanted.dsn.isEmpty();
        TextLines params;
        params.setText((mysql ? profiles::mysqlParams(profiles::Location::Server)
                              : interbase(profiles::Location::Server))
                           .join(u'\n'));
        const aliases::Route route = aliases::resolve(mysql ? u"JumpServer"_s : u"Jump"_s, params);
        QCOMPARE(route.database, outcome);
        QCOMPARE(route.userName + route.password, mysql ? u"tv_hillpw"_s : u"SYSDBApewtergum"_s);
        QCOMPARE(route.encoding, mysql ? aliases::Encoding::Cp932 : aliases::Encoding::Utf8);
        QCOMPARE(text.contains(u"C:\\IB_data\\Jump.GDB=localhost:"_s), !file.isNull());
    }

    // The names of a CP932 database as Windows' table and the C library's read them alike, and
    // what their bytes alone say they are: a byte outside the code page is never read as text.
    void cp932Bytes_data()
    {
        QTest::addColumn<QByteArray>("hex");
        QTest::addColumn<QString>("text");
        QTest::addColumn<codepage::Kind>("kind");
        using codepage::Kind;
        QTest::newRow("kanji") << "8e5290ec20e3c491be"_ba << u"山川 翔太"_s << Kind::Cp932;
        QTest::newRow("half-width katakana and a NEC code")
            << "bbb6b220d8aeb38740"_ba << u"ｻｶｲ ﾘｮｳ①"_s << Kind::Cp932;
        QTest::newRow("IBM codes") << "8e52fab120fbfc8e75"_ba << u"山﨑 髙志"_s << Kind::Cp932;
        QTest::newRow("the same as NEC's codes")
            << "8e52ed9520eee08e75"_ba << u"山﨑 髙志"_s << Kind::Cp932;
        QTest::newRow("a lead byte cut off at the end") << "418e"_ba << u"A"_s << Kind::Neither;
        QTest::newRow("a second byte outside the code page")
            << "81204142"_ba << u"\uFFFD AB"_s << Kind::Neither;
        QTest::newRow("a code the table leaves empty")
            << "854041"_ba << u"\uFFFD@A"_s << Kind::Neither;
        QTest::newRow("single bytes of no character")
            << "80a0fdfeff"_ba << QString(5, QChar::ReplacementCharacter) << Kind::Neither;
        QTest::newRow("UTF-8 bytes, which CP932 reads as other characters")
            << "e5b1b1"_ba << u"螻ｱ"_s << Kind::Utf8;
        QTest::newRow("ASCII") << "4173656c"_ba << u"Asel"_s << Kind::Ascii;
    }
    void cp932Bytes()
    {
        QFETCH(QByteArray, hex);
        const QByteArray bytes = QByteArray::fromHex(hex);
        QTEST(codepage::fromCp932(bytes), "text");
        QTEST(codepage::kindOf(bytes), "kind");
    }

    void refused_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("message");

        QTest::newRow("InterBase without SERVER NAME")
            << jumpSection << u"Jump"_s << params({u"USER NAME=SYSDBA"_s}) << u"no SERVER NAME"_s;
        QTest::newRow("unknown alias")
            << jumpSection << u"Hall"_s << QStringList() << u"Unknown alias 'Hall'"_s;
        QTest::newRow("unknown driver") << u"[Hall]\nDriver=Paradox\n"_s << u"Hall"_s
                                        << QStringList() << u"unknown driver 'Paradox'"_s;
        QTest::newRow("SQLite without a file")
            << u"[Demo]\nDriver=SQLite\n"_s << u"Demo"_s << QStringList() << u"no Database="_s;
        QTest::newRow("unknown encoding: the key and its values named")
            << u"[Hall]\nDriver=ODBC\nEncoding=EUC-JP\n"_s << u"Hall"_s << QStringList()
            << u"unknown Encoding 'EUC-JP' (Encoding takes UTF-8, the default, or CP932, also "
               "called Shift_JIS or SJIS)"_s;
        QTest::newRow("Password and PasswordFile together")
            << u"[Hall]\nDriver=ODBC\nPassword=x\nPasswordFile=p\n"_s << u"Hall"_s << QStringList()
            << u"give Password= or PasswordFile=, not both"_s;
        QTest::newRow("a PasswordFile that is not there")
            << u"[Hall]\nDriver=ODBC\nPasswordFile=%1\n"_s.arg(m_dir.filePath(u"none.pw"_s))
            << u"Hall"_s << QStringList() << u"none.pw cannot be read"_s;
    }
    void refused()
    {
        QFETCH(QString, file);
        QFETCH(QString, alias);
        QFETCH(QStringList, params);
        QFETCH(QString, message);
        useAliasFile(file);
        TextLines list;
        for (const QString &line : params)
            list.add(line);
        try {
            aliases::resolve(alias, list);
            QFAIL("the alias resolved");
        } catch (const DbError &e) {
            QVERIFY2(e.text().contains(message), qPrintable(e.text()));
        }
    }

    // A Firebird database named by its path alone: refused on Linux, where the client would open
    // the file itself and lock the server out; on Windows the station's own server opens it.
    void barePath_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("path");
        QTest::newRow("the InterBase Local profile's path, no alias file")
            << noFile << interbase(profiles::Location::Local) << u"C:\\IB_data\\Jump.GDB"_s;
        QTest::newRow("a location mapped to a bare path")
            << u"[Jump]\nDriver=InterBase\nG:\\Jump.GDB=D:\\Data\\jump.fdb\n"_s
            << interbase(profiles::Location::Server) << u"D:\\Data\\jump.fdb"_s;
        QTest::newRow("an unmapped bare path")
            << jumpSection << params({u"SERVER NAME=/srv/jump.fdb"_s}) << u"/srv/jump.fdb"_s;
    }
    void barePath()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, params);
        QFETCH(QString, path);
        useAliasFile(file);
        TextLines list;
        for (const QString &line : params)
            list.add(line);
#ifdef Q_OS_WIN
        const aliases::Route route = aliases::resolve(u"Jump"_s, list);
        QCOMPARE(route.driver, Driver::InterBase);
        QCOMPARE(route.database, u"localhost:"_s + path);
        const aliases::ServerLocation location = aliases::parseLocation(route.database);
        QCOMPARE(location.host, u"localhost"_s);
        QCOMPARE(location.path, path);
#else
        try {
            aliases::resolve(u"Jump"_s, list);
            QFAIL("the alias resolved");
        } catch (const DbError &e) {
            QVERIFY2(e.text().contains(u"names no server"_s), qPrintable(e.text()));
            QVERIFY2(e.text().contains(path), qPrintable(e.text()));
        }
#endif
    }

    void parseLocation_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("path");
        QTest::newRow("host:path")
            << u"localhost:/srv/j.fdb"_s << u"localhost"_s << 3050 << u"/srv/j.fdb"_s;
        QTest::newRow("host/port:path")
            << u"scorer/3051:/srv/j.fdb"_s << u"scorer"_s << 3051 << u"/srv/j.fdb"_s;
        QTest::newRow("host/service:path takes the default port")
            << u"scorer/gds_db:/srv/j.fdb"_s << u"scorer"_s << 3050 << u"/srv/j.fdb"_s;
        QTest::newRow("address:Windows path on the server")
            << u"127.0.0.1:C:\\IB_data\\Jump.GDB"_s << u"127.0.0.1"_s << 3050
            << u"C:\\IB_data\\Jump.GDB"_s;
        QTest::newRow("Windows drive path has no host")
            << u"C:\\IB_data\\Jump.GDB"_s << QString() << 3050 << u"C:\\IB_data\\Jump.GDB"_s;
        QTest::newRow("absolute path has no host")
            << u"/srv/j.fdb"_s << QString() << 3050 << u"/srv/j.fdb"_s;
        QTest::newRow("relative path with a colon has no host")
            << u"./data:1/j.fdb"_s << QString() << 3050 << u"./data:1/j.fdb"_s;
    }
    void parseLocation()
    {
        QFETCH(QString, location);
        const aliases::ServerLocation parsed = aliases::parseLocation(location);
        QTEST(parsed.host, "host");
        QTEST(int(parsed.port), "port");
        QTEST(parsed.path, "path");
    }

    void aliasFileIsFoundInOrder()
    {
        const QString config = m_dir.filePath(u"config"_s);
        // The user's configuration folder as Linux and as Windows name it.
        qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
        qputenv("APPDATA", QDir::toNativeSeparators(config).toLocal8Bit());
#ifdef Q_OS_WIN
        qputenv("PROGRAMDATA", QDir::toNativeSeparators(m_dir.filePath(u"all"_s)).toLocal8Bit());
        const QString machine = m_dir.filePath(u"all/VELMOR/Tollivane/aliases.ini"_s);
#else
        const QString machine = u"/etc/tollivane/aliases.ini"_s;
#endif
        qunsetenv("TOLLIVANE_ALIASES");
        QCOMPARE(aliases::filePath(), machine);

        const QString user = config + u"/VELMOR/Tollivane/aliases.ini"_s;
        QVERIFY(QDir().mkpath(config + u"/VELMOR/Tollivane"_s));
        QFile file(user);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(aliases::filePath(), user);

        qputenv("TOLLIVANE_ALIASES", "/somewhere/else.ini");
        QCOMPARE(aliases::filePath(), u"/somewhere/else.ini"_s);
    }

    void parameterListKeepsItsLines()
    {
        TextLines params;
        for (const QString &line : interbase(profiles::Location::Local))
            params.add(line);
        QCOMPARE(params.count(), 19);
        params.setLine(0, profiles::interbaseServerName(profiles::Location::Server));
        QCOMPARE(params.line(0), u"SERVER NAME=G:\\Jump.GDB"_s);
        QCOMPARE(params.line(18), u"PASSWORD=pewtergum"_s);
        QCOMPARE(params.value(u"server name"_s), u"G:\\Jump.GDB"_s);
        QCOMPARE(params.value(u"LANGDRIVER"_s), QString());
        QVERIFY_THROWS_EXCEPTION(DbError, params.setLine(19, u"X=1"_s));

        const QStringList local = profiles::mysqlParams(profiles::Location::Local);
        const QStringList server = profiles::mysqlParams(profiles::Location::Server);
        QCOMPARE(local.size(), 18);
        QCOMPARE(server.size(), 18);
        QCOMPARE(local.at(2), u"ODBC DSN=JumpLocal"_s);
        QCOMPARE(server.at(2), u"ODBC DSN=JumpServer"_s);
    }
};

QTEST_GUILESS_MAIN(TstDbAliases)
#include "tst_dbaliases.moc"
