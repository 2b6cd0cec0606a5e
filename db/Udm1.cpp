#include "Udm1.h"

#include "profiles.h"

using namespace Qt::StringLiterals;

TDm1 *Dm1 = nullptr;

TDm1::TDm1(QObject *parent)
    : QObject(parent), Database1(new TDatabase(u"db"_s, this)), Qedit(new TQuery(Database1, this)),
      Qjudgeent(new TQuery(Database1, this)), Qnewzek(new TQuery(Database1, this)),
      Qtd(new TQuery(Database1, this))
{
    Database1->setObjectName(u"Database1"_s);
    Qedit->setObjectName(u"Qedit"_s);
    Qjudgeent->setObjectName(u"Qjudgeent"_s);
    Qnewzek->setObjectName(u"Qnewzek"_s);
    Qtd->setObjectName(u"Qtd"_s);

    Database1->setAliasName(u"JUMP"_s);
    for (const QString &line : profiles::interbaseParams(profiles::Location::Local))
        Database1->params().add(line);
    Qjudgeent->sql().add(u"select * from judgeent"_s);
    Qnewzek->sql().add(u"select * from newzek"_s);
    Qtd->sql().add(u"select * from judgep"_s);
}
