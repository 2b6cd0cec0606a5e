#pragma once

#include "toolkit/reply.h"

#include <QString>

// The words of a competition as the operator's console writes them and the station reads them.

// A text of the console without the blanks a CHAR column pads it with: "001  " is bib 001.
QString withoutTrailingBlanks(const QString &text);
// Whether two texts are the same, trailing blanks aside.
bool sameText(const QString &a, const QString &b);

// A round as the judge's table holds it. Trailing blanks (a CHAR column) are no part of it.
class Round
{
public:
    Round() = default;
    explicit Round(QString asRead) : m_text(std::move(asRead)) {}

    const QString &asRead() const { return m_text; } // as stored: what a statement names
    QString text() const;                            // without trailing blanks

    bool notReady() const { return text() == u"X"; }         // no round: the operator is not ready
    bool isTrial() const { return text() == u"3"; }          // shown as 試技
    bool keptInRace() const;                                 // "1" or "2": race keeps its marks
    bool reopensReference() const { return text() == u"4"; } // judgep is read once more
    // What the window shows: "1 本目", "試技" for a trial.
    QString label() const;

    bool operator==(const Round &other) const { return text() == other.text(); }

private:
    QString m_text;
};

// A competitor as the judge's table holds it.
struct Competitor
{
    QString bibAsRead; // what the station compares and a registration names
    QString bibShown;  // the number with at least three digits, as race keys it
    Round round;
    QString name, team, trialText;
};

// Whether the table's row holds the competitor shown: the same bib (trailing blanks aside)
// and the same round, where "X" (no round) on either side is the same competitor. The one
// test of "the same competitor": the poll, a registration's condition, its notice and its
// outcome all ask it.
bool sameCompetitor(const Competitor &shown, const QString &bibAsRead, const Round &round);
bool sameCompetitor(const Competitor &a, const Competitor &b);

// A table of the competition that cannot serve the station although its server answers.
struct TableFault
{
    enum class Kind
    {
        Missing,    // in no letter case
        NoRow,      // a judge's table holds one row
        SeveralRows //   and never more
    };
    Kind kind = Kind::Missing;
    QString table; // as the terminal names it: "judgeA"

    QString text() const; // in English, as a DbError says it
    bool operator==(const TableFault &) const = default;
};

// The marks of one jump as the judge confirmed them: the value texts and the mark.
struct Marks
{
    QString flight, landing, outrun, mark;
    bool operator==(const Marks &) const = default;
};

// What became of marks the judge confirmed: what the gateway answers, what the judge is told
// and what the journal writes.
enum class Outcome
{
    Registered,        // on the competitor's row, or kept in race once the operator moved on
    CompetitorChanged, // the row held another competitor: nothing was written
    Failed,            // nothing was written, and nothing will be
    Unknown,           // the commit was sent and its answer never came: it may have landed
    Unverifiable       // an unknown outcome that can no longer be found out
};

// A registration's reply as an outcome: a failure before the commit wrote nothing; one whose
// commit answer was lost is unknown.
Outcome outcomeOf(const Reply<Outcome> &reply);
