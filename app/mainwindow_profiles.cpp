// The database connection profiles of the main window.
#include "app/mainwindow.h"

#include "db/competitiongateway.h"
#include "db/profiles.h"
#include "toolkit/radiogroup.h"

#include <QLabel>

using namespace Qt::StringLiterals;

namespace {

using profiles::Location;

} // namespace

// A failed connection is not reported here: the seat claim reports it. The status line and
// the remembered location follow the answer: the location tried last.
void MainWindow::connectProfile(const QString &alias, const QStringList &params,
                                const QStringList &fallback, int lineShown)
{
    if (!m_gateway)
        return;
    ++m_connecting;
    const int serial = ++m_profileSerial;
    m_gateway->connectProfile(alias, params, fallback,
                              Then<QStringList>(this, [this, serial, lineShown, params,
                                                       fallback](const Reply<QStringList> &reply) {
                                  --m_connecting;
                                  if (serial != m_profileSerial)
                                      return; // the judge chose another profile meanwhile
                                  // The line tried last: the fallback's when the first could not be
                                  // reached.
                                  const QStringList used = reply.ok()           ? reply.value()
                                                           : fallback.isEmpty() ? params
                                                                                : fallback;
                                  if (m_dbType == u"Interbase") {
                                      const bool server =
                                          used.value(0) ==
                                          profiles::interbaseServerName(Location::Server);
                                      m_dbDir = server ? u"server"_s : u"local"_s;
                                  }
                                  m_connectionLine->setText(used.value(lineShown));
                                  m_connectionLine->adjustSize();
                              }));
}

std::pair<QString, QStringList> MainWindow::rememberedConnection()
{
    const Settings remembered = readSettings();
    // As the first show selects it: "local" is the Local item, anything else the Server one.
    const auto location = remembered.dbDir == u"local" ? Location::Local : Location::Server;
    if (remembered.dbType == u"Interbase")
        return {QString::fromUtf16(profiles::interbaseAlias), profiles::interbaseParams(location)};
    return {profiles::mysqlAlias(location), profiles::mysqlParams(location)};
}

void MainWindow::interbaseProfileChosen()
{
    m_dbType = u"Interbase"_s;
    m_mysqlProfiles->setItemIndex(-1);
    const bool server = m_interbaseProfiles->itemIndex() == 1;
    const auto chosen = server ? Location::Server : Location::Local;
    const auto other = server ? Location::Local : Location::Server;
    m_dbDir = server ? u"server"_s : u"local"_s;
    // The other location once, when the chosen one cannot be reached; its failure is
    // ignored too.
    connectProfile(QString::fromUtf16(profiles::interbaseAlias), profiles::interbaseParams(chosen),
                   profiles::interbaseParams(other), 0);
}

void MainWindow::mysqlProfileChosen()
{
    m_interbaseProfiles->setItemIndex(-1);
    const auto location = m_mysqlProfiles->itemIndex() == 0 ? Location::Local : Location::Server;
    m_dbType = u"MySQL"_s;
    m_dbDir = location == Location::Local ? u"local"_s : u"server"_s;
    connectProfile(profiles::mysqlAlias(location), profiles::mysqlParams(location), {}, 2);
}
