// Must not build: the database layer knows no window.
#include "db/competitiongateway.h"

#include "pointin/pointinputwindow.h"

int main()
{
    return 0;
}
