// The database connection profiles of the main window.
#include "Umain.h"

#include "Udm1.h"
#include "profiles.h"
#include "radiogroup.h"

#include <QLabel>

namespace {

using profiles::Location;

void setParams(TDatabase *db, const QString &alias, const QStringList &lines)
{
    db->params().clear();
    db->setAliasName(alias);
    for (const QString &line : lines)
        db->params().add(line);
}

// A failed connection is not reported here: the seat claim reports it.
bool tryOpen(TDatabase *db)
{
    try {
        db->open();
        return true;
    } catch (const DbError &) {
        return false;
    }
}

} // namespace

void TFmain::RGdbiClick()
{
    TDatabase *db = Dm1->Database1;
    db->close();
    DbType = QStringLiteral("Interbase");
    RGdb->setItemIndex(-1);
    setParams(db, QString::fromUtf16(profiles::interbaseAlias),
              profiles::interbaseParams(Location::Local));

    const bool server = RGdbi->itemIndex() == 1;
    const auto chosen = server ? Location::Server : Location::Local;
    db->params().setLine(0, profiles::interbaseServerName(chosen));
    DbDir = server ? QStringLiteral("server") : QStringLiteral("local");

    if (!tryOpen(db)) {
        // The other location, once; its failure is ignored too.
        const auto other = server ? Location::Local : Location::Server;
        db->params().setLine(0, profiles::interbaseServerName(other));
        DbDir = server ? QStringLiteral("local") : QStringLiteral("server");
        tryOpen(db);
    }
    linfo->setText(db->params().line(0));
    linfo->adjustSize();
}

void TFmain::RGdbClick()
{
    TDatabase *db = Dm1->Database1;
    db->close();
    RGdbi->setItemIndex(-1);
    const auto location = RGdb->itemIndex() == 0 ? Location::Local : Location::Server;
    setParams(db, profiles::mysqlAlias(location), profiles::mysqlParams(location));
    DbType = QStringLiteral("MySQL");
    DbDir = location == Location::Local ? QStringLiteral("local") : QStringLiteral("server");
    tryOpen(db);
    linfo->setText(db->params().line(2));
    linfo->adjustSize();
}
