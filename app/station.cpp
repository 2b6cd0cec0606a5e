#include "station.h"

#include "Udm1.h"
#include "Umain.h"
#include "Upointin.h"

namespace station {

void create()
{
    Fmain = new TFmain;
    Fpointin = new TFpointin(Fmain);
    Dm1 = new TDm1;
}

void destroy()
{
    delete Dm1;
    delete Fpointin;
    delete Fmain;
    Dm1 = nullptr;
    Fpointin = nullptr;
    Fmain = nullptr;
}

} // namespace station
