// A competition on SQLite for the point input window's tests: the data module Dm1 on the
// alias "PointinTest", judge A's table with no competitor on it yet (so showing the window
// loads nothing), the run not started and one row of reference marks.
#include "Udm1.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

bool openTestCompetition(const QString &dir)
{
    const QString connection = QStringLiteral("pointin-setup");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(dir + QStringLiteral("/jump.sqlite"));
        ok = db.open();
        QSqlQuery q(db);
        const char *const statements[] = {
            "create table judgeent (jikko text)",
            "insert into judgeent values ('0')",
            "create table judgeA (ent text, zek text, hon text, tstno text, name text, team text,"
            " sumi text, ap text, op text, lp text, tp text)",
            "insert into judgeA values ('True', '', '1', '', '', '', '', '0', '0', '0', '')",
            "create table race (zno text, Aa1 text, Ao1 text, Al1 text, Aa2 text, Ao2 text,"
            " Al2 text)",
            "create table judgep (TDap text, TDop text, TDlp text, M1ap text, M1op text,"
            " M1lp text, M2ap text, M2op text, M2lp text, M3ap text, M3op text, M3lp text)",
            "insert into judgep values ('0.5', '1', '0', '1.5', '2', '0.5', '2.5', '3', '1',"
            " '3.5', '4', '6.5')",
        };
        for (const char *s : statements)
            ok = ok && q.exec(QString::fromLatin1(s));
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);

    QFile aliases(dir + QStringLiteral("/aliases.ini"));
    ok = ok && aliases.open(QIODevice::WriteOnly) &&
         aliases.write("[PointinTest]\nDriver=SQLite\nDatabase=jump.sqlite\n") > 0;
    aliases.close();
    qputenv("TOLLIVANE_ALIASES", aliases.fileName().toLocal8Bit());

    Dm1 = new TDm1;
    Dm1->Database1->setAliasName(QStringLiteral("PointinTest"));
    return ok;
}
