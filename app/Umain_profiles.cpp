// The database connection profiles of the main window.
#include "Umain.h"

#include "competitiongateway.h"
#include "profiles.h"
#include "radiogroup.h"

#include <QLabel>

using namespace Qt::StringLiterals;

namespace {

using profiles::Location;

} // namespace

// A failed connection is not reported here: the seat claim reports it. The status line and
// the remembered location follow the answer: the location tried last.
void TFmain::connectProfile(const QString &alias, const QStringList &params,
                            const QStringList &fallback, int lineShown)
{
    if (!m_gateway)
        return;
    ++m_connecting;
    const int serial = ++m_profileSerial;
    m_gateway->connectProfile(
        alias, params, fallback, this,
        [this, serial, lineShown](const CompetitionGateway::ProfileResult &result) {
            --m_connecting;
            if (serial != m_profileSerial)
                return; // the judge chose another profile meanwhile
            if (DbType == u"Interbase") {
                const bool server =
                    result.params.value(0) == profiles::interbaseServerName(Location::Server);
                DbDir = server ? u"server"_s : u"local"_s;
            }
            linfo->setText(result.params.value(lineShown));
            linfo->adjustSize();
        });
}

void TFmain::RGdbiClick()
{
    DbType = u"Interbase"_s;
    RGdb->setItemIndex(-1);
    const bool server = RGdbi->itemIndex() == 1;
    const auto chosen = server ? Location::Server : Location::Local;
    const auto other = server ? Location::Local : Location::Server;
    DbDir = server ? u"server"_s : u"local"_s;
    // The other location once, when the chosen one cannot be reached; its failure is
    // ignored too.
    connectProfile(QString::fromUtf16(profiles::interbaseAlias), profiles::interbaseParams(chosen),
                   profiles::interbaseParams(other), 0);
}

void TFmain::RGdbClick()
{
    RGdbi->setItemIndex(-1);
    const auto location = RGdb->itemIndex() == 0 ? Location::Local : Location::Server;
    DbType = u"MySQL"_s;
    DbDir = location == Location::Local ? u"local"_s : u"server"_s;
    connectProfile(profiles::mysqlAlias(location), profiles::mysqlParams(location), {}, 2);
}
