// jumpdb: sets up a competition database and plays the operator's console for the demo and
// the tests.
#include "db/aliases.h"
#include "db/dbengine.h"
#include "db/profiles.h"
#include "toolkit/stoprequest.h"
#include "tools/competition.h"
#include "tools/stationaccount.h"
#include "tools/stationalias.h"
#include "tools/stationcheck.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

// The station's own parameter list for its aliases, so that a tool run reaches the same
// database as the terminal does.
QStringList defaultParams(const QString &alias)
{
    if (alias.compare(QString::fromUtf16(profiles::interbaseAlias), Qt::CaseInsensitive) == 0)
        return profiles::interbaseParams(profiles::Location::Local);
    if (alias.compare(profiles::mysqlAlias(profiles::Location::Local), Qt::CaseInsensitive) == 0)
        return profiles::mysqlParams(profiles::Location::Local);
    if (alias.compare(profiles::mysqlAlias(profiles::Location::Server), Qt::CaseInsensitive) == 0)
        return profiles::mysqlParams(profiles::Location::Server);
    return {};
}

void setParam(TextLines &params, const QString &line)
{
    const QString name = line.section(u'=', 0, 0).trimmed();
    for (qsizetype i = 0; i < params.count(); ++i) {
        if (params.line(i).section(u'=', 0, 0).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
            params.setLine(i, line);
            return;
        }
    }
    params.add(line);
}

// Returns false after telling what is missing.
bool configure(Database &db, const QCommandLineParser &args)
{
    aliases::Route route;
    if (args.isSet(u"sqlite"_s)) {
        route.driver = aliases::Driver::Sqlite;
        route.database = args.value(u"sqlite"_s);
    } else if (args.isSet(u"firebird"_s)) {
        route.driver = aliases::Driver::InterBase;
        route.database = args.value(u"firebird"_s);
        route.userName = args.isSet(u"user"_s) ? args.value(u"user"_s) : u"SYSDBA"_s;
        route.password = args.isSet(u"password"_s) ? args.value(u"password"_s) : u"pewtergum"_s;
    } else if (args.isSet(u"dsn"_s)) {
        route.driver = aliases::Driver::Odbc;
        route.database = args.value(u"dsn"_s);
        route.userName = args.isSet(u"user"_s) ? args.value(u"user"_s) : u"root"_s;
        route.password = args.isSet(u"password"_s) ? args.value(u"password"_s) : u"rusko"_s;
    } else if (args.isSet(u"alias"_s)) {
        const QString alias = args.value(u"alias"_s);
        db.setAliasName(alias);
        for (const QString &line : defaultParams(alias))
            db.params().add(line);
        for (const QString &line : args.values(u"param"_s))
            setParam(db.params(), line);
        return true;
    } else {
        err() << "jumpdb: name the database with --alias, --sqlite, --firebird or --dsn\n";
        return false;
    }
    const std::optional<aliases::Encoding> encoding =
        aliases::parseEncoding(args.value(u"encoding"_s));
    if (!encoding) {
        err() << "jumpdb: " << aliases::unknownEncoding(args.value(u"encoding"_s)) << '\n';
        return false;
    }
    route.encoding = *encoding;
    db.setRoute(route);
    return true;
}

// Where the configured database is, without connecting: the route set, else the alias's.
aliases::Route routeOf(const Database &db)
{
    return db.route() ? *db.route() : aliases::resolve(db.aliasName(), db.params());
}

// The database a command is about to change, in words.
QString described(const Database &db)
{
    const aliases::Route route = routeOf(db);
    const QString alias = db.route() ? QString() : u"alias "_s + db.aliasName() + u": "_s;
    switch (route.driver) {
    case aliases::Driver::InterBase:
        return alias + u"the Firebird database "_s + route.database;
    case aliases::Driver::Odbc:
        return alias + u"the ODBC data source "_s + route.database;
    case aliases::Driver::Sqlite:
        break;
    }
    return alias + u"the SQLite file "_s + route.database;
}

// Whether a command may go on changing the database: not over a competition's marks unless
// told. Says which database it is about to change either way.
bool mayChange(Database &db, const QCommandLineParser &args, const QString &what)
{
    err() << "jumpdb: " << what << ' ' << described(db) << '\n';
    const QStringList marks = competition::registeredMarks(db);
    if (marks.isEmpty() || args.isSet(u"despite-marks"_s))
        return true;
    err() << "jumpdb: the database holds registered marks:\n";
    for (const QString &line : marks)
        err() << "  " << line << '\n';
    err() << "jumpdb: nothing changed; --despite-marks goes on all the same\n";
    return false;
}

// Refuses to drop the tables of a competition unless told to replace them.
bool mayCreate(Database &db, const QCommandLineParser &args)
{
    const QStringList existing = competition::existingTables(db);
    if (existing.isEmpty() || args.isSet(u"replace"_s))
        return true;
    err() << "jumpdb: " << described(db) << " has the tables " << existing.join(u", "_s)
          << ": nothing changed; --replace drops them with every mark in them and creates them "
             "anew\n";
    return false;
}

int runSeed(Database &db, const QCommandLineParser &args)
{
    if (!mayChange(db, args, u"seeding"_s))
        return 1;
    if (!args.isSet(u"start-list"_s)) {
        bool numeric = false;
        const int competitors = args.value(u"competitors"_s).toInt(&numeric);
        if (!numeric || competitors < 1 || competitors > competition::startListSize) {
            err() << "jumpdb: --competitors takes 1 to " << competition::startListSize << '\n';
            return 2;
        }
        competition::seed(db, competitors);
        return 0;
    }
    QFile file(args.value(u"start-list"_s));
    if (!file.open(QIODevice::ReadOnly)) {
        err() << "jumpdb: cannot read " << file.fileName() << ": " << file.errorString() << '\n';
        return 2;
    }
    db.open(); // the encoding is the open connection's
    const competition::StartList list = competition::readStartList(file.readAll(), db.encoding());
    if (!list.error.isEmpty()) {
        err() << "jumpdb: " << file.fileName() << ": " << list.error << "; nothing changed\n";
        return 2;
    }
    competition::seed(db, list.competitors);
    out() << list.competitors.size() << " competitors from " << file.fileName() << '\n';
    return 0;
}

void report(const competition::Step &step)
{
    if (!step.copied.isEmpty())
        out() << "marks of " << step.copied.join(u',') << " copied into race\n";
    if (step.finished)
        out() << "competition over\n";
    else if (step.advanced)
        out() << "competitor " << step.bib << " round " << step.round << '\n';
    out().flush();
}

// Told once the loop ends on Ctrl+C: the exit code a shell gives a program it interrupted.
int stopped()
{
    out() << "stopped; jumpdb operator --despite-marks goes on from here\n";
    out().flush();
    return 130;
}

// The console: puts up competitors one after the other until the last of the last round.
int runOperator(Database &db, int intervalMs, bool automatic, int holdMs)
{
    QElapsedTimer onDisplay;
    onDisplay.start();
    for (;;) {
        try {
            const bool force = automatic && onDisplay.elapsed() >= holdMs;
            const competition::Step step = competition::step(db, force);
            report(step);
            if (step.finished)
                return 0;
            if (step.advanced)
                onDisplay.restart();
        } catch (const DbError &e) {
            // The server may come back; the next step tries again on a new connection.
            err() << "jumpdb: " << e.text() << '\n';
            err().flush();
            db.close();
        }
        if (stoprequest::askedWithin(intervalMs))
            return stopped();
    }
}

// What the journal files given hold.
struct Journals
{
    QList<journal::Entry> entries;
    int unreadableLines = 0;
    int unreadableFiles = 0;
    QStringList empty; // the files or folders given that hold no entry
};

// A folder stands for every journal file in it.
QStringList journalFiles(const QString &path)
{
    if (!QFileInfo(path).isDir())
        return {path};
    QStringList files;
    const QDir folder(path);
    for (const QString &name : folder.entryList({u"*.csv"_s}, QDir::Files, QDir::Name))
        files << folder.filePath(name);
    return files;
}

Journals readJournals(const QStringList &paths)
{
    Journals journals;
    for (const QString &path : paths) {
        const qsizetype before = journals.entries.size();
        const int unreadable = journals.unreadableFiles;
        for (const QString &name : journalFiles(path)) {
            QFile file(name);
            if (!file.open(QIODevice::ReadOnly)) {
                err() << "jumpdb: cannot read the journal " << name << ": " << file.errorString()
                      << '\n';
                ++journals.unreadableFiles;
                continue;
            }
            const journal::Reading reading = journal::readAll(QString::fromUtf8(file.readAll()));
            journals.entries << reading.entries;
            journals.unreadableLines += reading.unreadable;
            if (reading.unreadable > 0)
                err() << "jumpdb: " << name << ": " << reading.unreadable
                      << " lines are no journal entry\n";
        }
        if (journals.entries.size() == before && journals.unreadableFiles == unreadable)
            journals.empty << path;
    }
    return journals;
}

// 1 when a mark is missing or different, else 2 when a journal file or line could not be read,
// else 3 when the audit cannot vouch for everything, else 0.
int auditStatus(const competition::Audit &audit, const Journals &journals)
{
    if (!audit.differences.isEmpty())
        return 1;
    if (journals.unreadableFiles > 0 || journals.unreadableLines > 0)
        return 2;
    if (!audit.nowhere.isEmpty() || !audit.uncovered.isEmpty() || !journals.empty.isEmpty())
        return 3;
    return 0;
}

void reportAudit(const competition::Audit &audit, const Journals &journals)
{
    for (const QStringList &lines : {audit.differences, audit.nowhere, audit.uncovered})
        for (const QString &line : lines)
            out() << line << '\n';
    for (const QString &path : journals.empty)
        out() << path << ": no journal entry, nothing of it checked\n";
    if (journals.entries.isEmpty()) {
        out() << "the journals hold no entry: nothing was checked";
    } else {
        out() << audit.checked << " registered marks checked, ";
        if (audit.checkedNotLanded > 0)
            out() << audit.checkedNotLanded << " told not registered checked, ";
        out() << audit.differences.size() << " missing or different";
        if (!audit.nowhere.isEmpty())
            out() << ", " << audit.nowhere.size() << " registered marks checked nowhere";
    }
    if (audit.uncoveredMarks > 0)
        out() << ", " << audit.uncoveredMarks << " marks in race without a journal line";
    if (journals.unreadableFiles > 0)
        out() << ", " << journals.unreadableFiles << " journal files unreadable";
    if (journals.unreadableLines > 0)
        out() << ", " << journals.unreadableLines << " journal lines unreadable";
    out() << '\n';
}

int runAudit(Database &db, const QStringList &paths)
{
    if (paths.isEmpty()) {
        err() << "jumpdb: audit needs at least one --journal file or folder\n";
        return 2;
    }
    const Journals journals = readJournals(paths);
    const competition::Audit audit = competition::audit(db, journals.entries);
    reportAudit(audit, journals);
    out().flush();
    err().flush();
    return auditStatus(audit, journals);
}

// The station's profiles, each through the alias file as the station connects, or the one
// database named; 0 when the station can judge on one of them.
int runCheck(const QCommandLineParser &args)
{
    std::vector<std::pair<QString, std::unique_ptr<Database>>> targets;
    if (args.isSet(u"alias"_s) || args.isSet(u"sqlite"_s) || args.isSet(u"firebird"_s) ||
        args.isSet(u"dsn"_s)) {
        auto db = std::make_unique<Database>(u"check"_s);
        configure(*db, args);
        targets.emplace_back(u"the database"_s, std::move(db));
    } else {
        using profiles::Location;
        for (const Location location : {Location::Local, Location::Server}) {
            const QString where = location == Location::Local ? u"Local"_s : u"Server"_s;
            auto interbase = std::make_unique<Database>(u"check"_s);
            interbase->setAliasName(QString::fromUtf16(profiles::interbaseAlias));
            interbase->params().setText(profiles::interbaseParams(location).join(u'\n'));
            targets.emplace_back(u"InterBase "_s + where, std::move(interbase));
        }
        for (const Location location : {Location::Local, Location::Server}) {
            auto mysql = std::make_unique<Database>(u"check"_s);
            mysql->setAliasName(profiles::mysqlAlias(location));
            mysql->params().setText(profiles::mysqlParams(location).join(u'\n'));
            targets.emplace_back(u"MySQL "_s +
                                     (location == Location::Local ? u"Local"_s : u"Server"_s),
                                 std::move(mysql));
        }
        out() << "alias file: " << aliases::filePath() << '\n';
    }
    QStringList usable;
    for (auto &[label, db] : targets) {
        const stationcheck::Report report = stationcheck::check(*db);
        out() << label << (db->aliasName().isEmpty() ? QString() : u" ("_s + db->aliasName() + u')')
              << ": " << report.lines.value(0) << '\n';
        for (const QString &line : report.lines.mid(1))
            out() << "  " << line << '\n';
        if (report.canJudge)
            usable << label;
    }
    if (usable.isEmpty())
        out() << "the station cannot judge on any of them\n";
    else
        out() << "the station can judge on: " << usable.join(u", "_s) << '\n';
    out().flush();
    return usable.isEmpty() ? 1 : 0;
}

// The kind of server the database is on, without connecting.
std::optional<stationaccount::Server> serverOf(const Database &db)
{
    switch (routeOf(db).driver) {
    case aliases::Driver::InterBase:
        return stationaccount::Server::Firebird;
    case aliases::Driver::Odbc:
        return stationaccount::Server::MariaDB;
    case aliases::Driver::Sqlite:
        break;
    }
    return std::nullopt;
}

// The statements of a station account, printed with a stand-in for the password, or run as
// the superuser the options connect with; the password is never printed.
int runGrant(Database &db, const QCommandLineParser &args, const QString &name)
{
    const QString bad = stationaccount::badName(name);
    if (!bad.isEmpty()) {
        err() << "jumpdb: " << bad << '\n';
        return 2;
    }
    if (!args.isSet(u"run"_s)) {
        const std::optional<stationaccount::Server> server = serverOf(db);
        if (!server) {
            err() << "jumpdb: a database file has no accounts: name a Firebird or MariaDB "
                     "server\n";
            return 2;
        }
        if (*server == stationaccount::Server::MariaDB)
            out() << "-- in the competition database (use Jump;)\n";
        for (const QString &line : stationaccount::statements(*server, name, u"<password>"_s))
            out() << line << ";\n";
        out() << (*server == stationaccount::Server::Firebird ? "commit;\n" : "");
        return 0;
    }
    std::optional<QString> password;
    if (args.isSet(u"account-password-file"_s)) {
        QString error;
        password = aliases::passwordInFile(args.value(u"account-password-file"_s), &error);
        if (!password)
            err() << "jumpdb: cannot read " << args.value(u"account-password-file"_s) << ": "
                  << error << '\n';
    } else if (args.isSet(u"account-password"_s)) {
        password = args.value(u"account-password"_s);
    } else {
        err() << "jumpdb: grant --run needs --account-password-file (or --account-password)\n";
    }
    if (!password)
        return 2;
    if (password->isEmpty()) {
        err() << "jumpdb: the account's password is empty\n";
        return 2;
    }
    stationaccount::make(db, name, *password);
    out() << "account " << name << " can judge; its alias section: User=" << name
          << " and PasswordFile= (or Password=)\n";
    return 0;
}

// The station's alias file from the options, the machine's own unless --file names another;
// what it wrote, and the file the station reads now, which may be another account's own.
int runAlias(const QCommandLineParser &args)
{
    stationalias::Wanted wanted;
    wanted.firebird = args.value(u"firebird"_s);
    wanted.dsn = args.value(u"dsn"_s);
    wanted.user = args.value(u"user"_s);
    wanted.passwordFile = args.value(u"password-file"_s);
    if (args.isSet(u"encoding"_s))
        wanted.encoding = args.value(u"encoding"_s);
    const QString path = args.isSet(u"file"_s) ? args.value(u"file"_s) : aliases::machineFilePath();
    const stationalias::Written written = stationalias::write(wanted, path);
    if (!written.error.isEmpty()) {
        err() << "jumpdb: " << written.error << ": nothing changed\n";
        return written.lines.isEmpty() ? 2 : 1;
    }
    out() << "jumpdb: wrote to " << QDir::toNativeSeparators(path) << ":\n";
    for (const QString &line : written.lines)
        out() << "  " << line << '\n';
    if (!args.isSet(u"file"_s) && aliases::filePath() != path)
        out() << "jumpdb: this account's station reads "
              << QDir::toNativeSeparators(aliases::filePath()) << " instead\n";
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // The stand-in console stops between its steps; other commands end on Ctrl+C as they are.
    if (std::any_of(argv + 1, argv + argc,
                    [](const char *a) { return a == std::string_view("operator"); }))
        stoprequest::block();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"jumpdb"_s);

    QCommandLineParser args;
    args.setApplicationDescription(
        u"Competition database tool.\n\n"
        "Commands:\n"
        "  create    create judgeent, judgeA..judgeE, race and judgep in a new database;\n"
        "            refuses (exit 1, nothing changed) when any of them is there, naming\n"
        "            them, unless --replace: then drops them, marks and all, and creates\n"
        "            them anew\n"
        "  seed      a start list (table entries, made anew) and a race row for each:\n"
        "            --start-list FILE.csv, the club's own (lines bib,name,team; UTF-8, or\n"
        "            CP932 where the database's Encoding is CP932), else 30 made-up\n"
        "            competitors, --competitors N keeping the first N; empties race and\n"
        "            the judges' tables but for the seats, and stops the run\n"
        "  operator  the stand-in console for a rehearsal or a small event: runs steps\n"
        "            every --interval ms until the competition is over\n"
        "            seed and operator name the database they are about to change and\n"
        "            refuse one whose judges' tables or race hold registered marks (exit 1,\n"
        "            nothing changed), unless --despite-marks\n"
        "  ready V   set jikko to V (0: operator not ready)\n"
        "  step      one step of the operator: copy registered marks, next competitor\n"
        "            when every seated judge has registered (or with --force)\n"
        "  state     print the tables\n"
        "  check     what a station will meet, before the first jump: each profile's\n"
        "            database through the alias file (or the database named), its tables\n"
        "            and their rows, every column the station uses (which hold numbers,\n"
        "            which are CHAR), the right to write the seat's row (rolled back), the\n"
        "            competitor as the station shows it, whether the texts' bytes are read\n"
        "            in their encoding (and the Encoding the alias needs), and the server's\n"
        "            clock; exits with 0 only when the station can judge on one of them\n"
        "  audit     compare the stations' mark journals (--journal FILE or FOLDER,\n"
        "            repeatable; a folder: every .csv file in it) with the database;\n"
        "            exits with 1 when a registered mark is missing or different, or there\n"
        "            although the judge was told it did not land, else\n"
        "            with 2 when a journal file or line cannot be read, else with 3 when\n"
        "            something cannot be checked (a journal without entries, a round race\n"
        "            does not keep, marks in race no journal line accounts for), else 0\n"
        "  grant A   the statements that make A a station account, which can only judge\n"
        "            (read judgeent, judgep, race and judgeA..judgeE, write the seat flag\n"
        "            and the marks, end its own stranded connections), printed with\n"
        "            <password> in place of the password; with --run they are run as the\n"
        "            superuser --user names, the password taken from\n"
        "            --account-password-file; run again, they set the password anew"_s);
    args.addHelpOption();
    args.addPositionalArgument(
        u"command"_s,
        u"create, seed, ready, step, operator, state, check, audit, grant or alias"_s);
    args.addOptions({
        {u"alias"_s, u"Alias of the alias file, with the station's parameter list."_s, u"name"_s},
        {u"param"_s, u"Parameter line NAME=value for the alias (repeatable)."_s, u"line"_s},
        {u"sqlite"_s, u"A SQLite file, without the alias file."_s, u"file"_s},
        {u"firebird"_s, u"A Firebird database host:/path, without the alias file."_s,
         u"location"_s},
        {u"dsn"_s, u"An ODBC data source, without the alias file."_s, u"name"_s},
        {u"user"_s, u"User for --firebird or --dsn."_s, u"name"_s},
        {u"password"_s, u"Password for --firebird or --dsn."_s, u"text"_s},
        {u"encoding"_s,
         u"How --sqlite, --firebird or --dsn store texts: UTF-8 or CP932 (an alias says it with "
         "its Encoding key)."_s,
         u"name"_s, u"UTF-8"_s},
        {u"interval"_s, u"Operator: milliseconds between steps."_s, u"ms"_s, u"1000"_s},
        {u"auto"_s, u"Operator: move on after --hold ms even when marks are missing."_s},
        {u"hold"_s, u"Operator: milliseconds a competitor stays up with --auto."_s, u"ms"_s,
         u"10000"_s},
        {u"force"_s, u"Step: move on even when marks are missing."_s},
        {u"competitors"_s, u"Seed: how many of the start list (1 to 30)."_s, u"n"_s, u"30"_s},
        {u"start-list"_s, u"Seed: the club's start list, a CSV file of bib,name,team."_s,
         u"file"_s},
        {u"replace"_s, u"Create: drop the tables that are there, with their marks."_s},
        {u"despite-marks"_s, u"Seed, operator: go on although the database holds marks."_s},
        {u"run"_s, u"Grant: run the statements instead of printing them."_s},
        {u"account-password-file"_s,
         u"Grant: a file whose first line is the account's password (the station's "
         "PasswordFile can be the same file)."_s,
         u"file"_s},
        {u"account-password"_s,
         u"Grant: the account's password (a shell keeps it in its history: prefer the file)."_s,
         u"text"_s},
        {u"password-file"_s,
         u"Alias: the station account's password file, as the station finds it (a relative "
         "name from the judge's home folder)."_s,
         u"file"_s},
        {u"file"_s, u"Alias: the alias file to write, instead of the machine's own."_s, u"path"_s},
        {u"journal"_s,
         u"Audit: a station's journal file (CSV), or a folder of them (repeatable)."_s, u"path"_s},
    });
    args.process(app);

    const QStringList positional = args.positionalArguments();
    const QString command = positional.value(0);
    if (command == u"check"_s)
        return runCheck(args);
    if (command == u"alias"_s)
        return runAlias(args);

    Database db(u"db"_s);
    if (!configure(db, args))
        return 2;

    try {
        if (command == u"create"_s) {
            if (!mayCreate(db, args))
                return 1;
            competition::create(db);
        } else if (command == u"seed"_s) {
            return runSeed(db, args);
        } else if (command == u"ready"_s && positional.size() == 2) {
            competition::setReady(db, positional.at(1));
        } else if (command == u"step"_s) {
            report(competition::step(db, args.isSet(u"force"_s)));
        } else if (command == u"operator"_s) {
            if (!mayChange(db, args, u"the operator runs on"_s))
                return 1;
            return runOperator(db, qMax(10, args.value(u"interval"_s).toInt()),
                               args.isSet(u"auto"_s), args.value(u"hold"_s).toInt());
        } else if (command == u"state"_s) {
            out() << competition::state(db) << '\n';
        } else if (command == u"grant"_s && positional.size() == 2) {
            return runGrant(db, args, positional.at(1));
        } else if (command == u"audit"_s) {
            return runAudit(db, args.values(u"journal"_s));
        } else {
            args.showHelp(2);
        }
    } catch (const DbError &e) {
        err() << "jumpdb: " << e.text() << '\n';
        return 1;
    }
    return 0;
}
