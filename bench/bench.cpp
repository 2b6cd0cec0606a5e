// The terminal's benchmarks; prints one Markdown table. bench/run.sh sets up the display and
// the databases and runs it:
//   tollivane-bench [--quick] [--routes sqlite,firebird,firebird-cp932,odbc]
//                   [--firebird host:/path]
//                   [--odbc-dsn NAME] [--figures poll,hang,startup,idle] [--reps N] [--ticks N]
//                   [--registrations N] [--idle-reps N] [--idle-seconds N] [--terminal PATH]
//                   [--no-real]
#include "figures.h"
#include "process.h"
#include "toolkit/error.h"
#include "xwatch.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>
#include <map>

using namespace Qt::StringLiterals;
using namespace bench;

namespace {

void say(const QString &text)
{
    std::fputs(qPrintable(text + u'\n'), stderr);
}

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString statText(const Stat &s, int decimals, const QString &unit)
{
    const QString u = unit.isEmpty() ? QString() : u" "_s + unit;
    if (s.count < 2)
        return number(s.median, decimals) + u;
    return u"%1%2 (%3–%4)"_s.arg(number(s.median, decimals), u, number(s.min, decimals),
                                 number(s.max, decimals));
}

QString cells(const Row &row)
{
    if (!row.error.isEmpty())
        return u"failed: %1 | | | | |"_s.arg(QString(row.error).replace(u'|', u'/'));
    const bool ratio = row.ratio.has_value();
    const QString subject = statText(*row.subject, row.decimals, row.unit);
    const QString reference =
        ratio ? row.referenceName + u": "_s + statText(*row.reference, row.decimals, row.unit)
              : u"—"_s;
    const QString ratioText = ratio ? statText(*row.ratio, 2, QString()) : u"—"_s;
    if (row.target <= 0) // a figure that explains the others: no target of its own
        return u"%1 | %2 | %3 | — | — |"_s.arg(subject, reference, ratioText);
    const QString target =
        ratio ? u"≤ %1"_s.arg(row.target) : u"< %1 %2"_s.arg(row.target).arg(row.unit);
    const double figure = ratio ? row.ratio->median : row.subject->median;
    const bool met = ratio ? figure <= row.target : figure < row.target;
    return u"%1 | %2 | %3 | %4 | %5 |"_s.arg(subject, reference, ratioText, target,
                                             met ? u"yes"_s : u"**no**"_s);
}

struct Arguments
{
    Options options;
    QStringList routes;
    QStringList figures = {u"poll"_s, u"hang"_s, u"startup"_s, u"idle"_s};
    QString firebird;
    QString odbcDsn;
    bool noReal = false;
    bool ok = true;
};

Arguments parse(const QStringList &args)
{
    Arguments a;
    Options &o = a.options;
    bool routesGiven = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        const auto value = [&] { return i + 1 < args.size() ? args[++i] : QString(); };
        const auto count = [&](int &target) {
            bool ok = false;
            const int n = value().toInt(&ok);
            if (ok && n > 0)
                target = n;
            else
                a.ok = false;
        };
        if (arg == u"--quick") {
            o.reps = 3;
            o.ticks = 20;
            o.registrations = 5;
            o.idleReps = 1;
            o.idleSeconds = 2;
            o.idleSettleMs = 500;
            o.hangSeconds = 8; // longer than a registration's bound
            o.hangReps = 1;
        } else if (arg == u"--reps") {
            count(o.reps);
        } else if (arg == u"--ticks") {
            count(o.ticks);
        } else if (arg == u"--registrations") {
            count(o.registrations);
        } else if (arg == u"--idle-reps") {
            count(o.idleReps);
        } else if (arg == u"--idle-seconds") {
            count(o.idleSeconds);
        } else if (arg == u"--routes") {
            a.routes = value().split(u',', Qt::SkipEmptyParts);
            routesGiven = true;
        } else if (arg == u"--figures") {
            a.figures = value().split(u',', Qt::SkipEmptyParts);
        } else if (arg == u"--firebird") {
            a.firebird = value();
        } else if (arg == u"--odbc-dsn") {
            a.odbcDsn = value();
        } else if (arg == u"--terminal") {
            o.terminal = value();
        } else if (arg == u"--no-real") {
            a.noReal = true;
        } else {
            say(u"tollivane-bench: unknown argument "_s + arg);
            a.ok = false;
        }
    }
    if (!routesGiven) {
        a.routes = {u"sqlite"_s};
        if (!a.firebird.isEmpty())
            a.routes << u"firebird"_s << u"firebird-cp932"_s;
        if (!a.odbcDsn.isEmpty())
            a.routes << u"odbc"_s;
    }
    return a;
}

QtMessageHandler s_previousHandler = nullptr;

// Without a window manager no window can grab the mouse, and Qt says so at every click.
void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (text.contains(u"grabbing the mouse"_s))
        return;
    if (s_previousHandler)
        s_previousHandler(type, context, text);
}

} // namespace

int main(int argc, char *argv[])
{
    s_previousHandler = qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Tollivane"_s);
    QApplication::setStyle(u"Fusion"_s);

    Arguments args = parse(QCoreApplication::arguments());
    if (!args.ok) {
        say(u"usage: see the top of bench/bench.cpp"_s);
        return 2;
    }
    Options &o = args.options;
    o.binDir = QCoreApplication::applicationDirPath();
    if (o.terminal.isEmpty())
        o.terminal = QDir(o.binDir).filePath(u"../app/tollivane"_s);
    o.terminal = QFileInfo(o.terminal).absoluteFilePath();
    o.realTerminal = !args.noReal && QGuiApplication::platformName() == u"xcb" &&
                     MapWatch::available() &&
                     !QStandardPaths::findExecutable(u"xdotool"_s).isEmpty() &&
                     QFileInfo(o.terminal).isExecutable();

    QList<Row> rows;
    for (const QString &name : std::as_const(args.routes)) {
        // firebird-cp932: an old console's database, its texts CP932 bytes in NONE columns, and
        // the alias saying Encoding=CP932; only the ticks that read those texts.
        const bool cp932 = name == u"firebird-cp932";
        const Route route = name == u"firebird" || cp932 ? Route::InterBase
                            : name == u"odbc"            ? Route::Odbc
                                                         : Route::Sqlite;
        const QString database = route == Route::InterBase ? args.firebird
                                 : route == Route::Odbc    ? args.odbcDsn
                                                           : QString();
        Site site(route, database, cp932 ? aliases::Encoding::Cp932 : aliases::Encoding::Utf8);
        if (route != Route::Sqlite && database.isEmpty()) {
            Row row{u"All figures"_s, site.label()};
            row.error = u"no database given (--firebird / --odbc-dsn)"_s;
            rows << row;
            continue;
        }
        try {
            site.prepare();
        } catch (const Error &e) {
            Row row{u"All figures"_s, site.label()};
            row.error = e.text();
            rows << row;
            continue;
        }
        if (cp932) {
            if (args.figures.contains(u"poll"_s)) {
                say(u"bench: %1: poll ticks"_s.arg(site.label()));
                rows << measureTextTicks(site, o);
            }
            continue;
        }
        if (args.figures.contains(u"poll"_s)) {
            say(u"bench: %1: poll ticks and registration"_s.arg(site.label()));
            rows << measureInProcess(site, o);
        }
        if (args.figures.contains(u"hang"_s) && route != Route::Sqlite) {
            say(u"bench: %1: server hanging, %2 x %3 s"_s.arg(site.label())
                    .arg(o.hangReps)
                    .arg(o.hangSeconds));
            rows << measureHangs(site, o);
        }
        if (args.figures.contains(u"startup"_s)) {
            say(u"bench: %1: start-up and memory"_s.arg(site.label()));
            rows << measureStartup(site, o);
        }
        if (args.figures.contains(u"idle"_s)) {
            say(u"bench: %1: idle, %2 x %3 s"_s.arg(site.label())
                    .arg(o.idleReps)
                    .arg(o.idleSeconds));
            rows << measureIdle(site, o);
        }
    }

    // One block per figure, the routes in the order measured.
    QStringList order;
    for (const Row &row : std::as_const(rows)) {
        if (!order.contains(row.figure))
            order << row.figure;
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const Row &a, const Row &b) {
        return order.indexOf(a.figure) < order.indexOf(b.figure);
    });

    QString out;
    out += u"| Figure | Route | Tollivane | Reference | Ratio | Target | Met |\n"_s;
    out += u"|---|---|---|---|---|---|---|\n"_s;
    bool failed = false;
    for (const Row &row : std::as_const(rows)) {
        out += u"| %1 | %2 | %3\n"_s.arg(row.figure, row.route, cells(row));
        failed = failed || !row.error.isEmpty();
    }
    out += u"\nEach cell: median of %1 runs (lowest–highest run). A poll-tick run is the median "
           u"of %2 ticks, a registration run of %3 registrations, each paired with its raw "
           u"statements on the same connection (turn about, each timed piece after the pending "
           u"painting and a 1 ms pause); the ratio is taken per run. Start-up and memory: one "
           u"start of each program per run. Idle: %4 run(s) of %5 s. Qt %6, platform %7; real "
           u"tollivane driven: %8.\n"_s.arg(o.reps)
               .arg(o.ticks)
               .arg(o.registrations)
               .arg(o.idleReps)
               .arg(o.idleSeconds)
               .arg(QString::fromLatin1(qVersion()), QGuiApplication::platformName(),
                    o.realTerminal ? u"yes"_s : u"no (needs an X display and xdotool)"_s);
    std::fputs(out.toUtf8().constData(), stdout);
    return failed ? 1 : 0;
}
