#pragma once

// The figures of the bench, each measured several times on one route.

#include "site.h"
#include "stats.h"

#include <QList>
#include <QString>

#include <optional>

namespace bench {

struct Options
{
    int reps = 5;           // runs of every figure
    int ticks = 200;        // poll ticks (and raw statement groups) in one run
    int registrations = 30; // registrations (and raw updates) in one run
    int idleReps = 3;
    int idleSeconds = 60;
    int idleSettleMs = 3500; // one poll tick goes by before the clock starts
    int hangSeconds = 30;    // the server hangs this long in one run
    int hangReps = 3;
    QString binDir;            // tollivane-probe and bare-window
    QString terminal;          // the real program
    bool realTerminal = false; // an X display: the real program is timed and driven too
};

// One line of the table. A ratio row compares the subject with its reference; an absolute row
// has no reference.
struct Row
{
    Row(QString figure_, QString route_, QString unit_ = QString(), int decimals_ = 0)
        : figure(std::move(figure_)), route(std::move(route_)), unit(std::move(unit_)),
          decimals(decimals_)
    {
    }

    QString figure;
    QString route;
    QString unit;
    int decimals = 0;
    std::optional<Stat> subject;
    QString referenceName;
    std::optional<Stat> reference;
    std::optional<Stat> ratio;
    double target = 0; // the most the ratio (or the absolute figure) may be
    QString error;     // the figure could not be measured
};

// Poll ticks in the three situations and a registration, in this process, each against the raw
// statements it issues on the station's own connection.
QList<Row> measureInProcess(Site &site, const Options &options);

// The poll ticks that read the judge's table, alone: for a route of CP932 texts, whose poll
// reads them as bytes, against the same raw statements.
QList<Row> measureTextTicks(Site &site, const Options &options);

// The longest a click waits while the server hangs (server routes only).
QList<Row> measureHangs(Site &site, const Options &options);

// Start-up time and peak memory of the probe (and of the real program when there is a display)
// against the bare window.
QList<Row> measureStartup(Site &site, const Options &options);

// Processor time of the terminal following an unchanged competitor.
QList<Row> measureIdle(Site &site, const Options &options);

} // namespace bench
