#include "station.h"

#include "Umain.h"
#include "Upointin.h"
#include "competitiongateway.h"

TFmain *Fmain = nullptr;
TFpointin *Fpointin = nullptr;

namespace station {

namespace {
CompetitionGateway *s_gateway = nullptr;
}

void create()
{
    Fmain = new TFmain;
    Fpointin = new TFpointin(Fmain);
    s_gateway = new CompetitionGateway;
    Fmain->setGateway(s_gateway);
    Fmain->setPointInput(Fpointin);
    Fpointin->setGateway(s_gateway);
}

void destroy()
{
    delete Fpointin;
    delete Fmain;
    delete s_gateway; // leaves a worker that hangs on the network behind, never waits for it
    s_gateway = nullptr;
    Fpointin = nullptr;
    Fmain = nullptr;
}

CompetitionGateway *gateway()
{
    return s_gateway;
}

} // namespace station
