#pragma once

#include "dbengine.h"

#include <QObject>

// The data module: the one connection of the station and the queries on it.
class TDm1 : public QObject
{
    Q_OBJECT
public:
    explicit TDm1(QObject *parent = nullptr);

    TDatabase *Database1;
    TQuery *Qedit;     // every update, and the select on race
    TQuery *Qjudgeent; // the judge's own table
    TQuery *Qnewzek;   // the run-state poll
    TQuery *Qtd;       // feeds the data-bound mark display
};

extern TDm1 *Dm1;
