// Must not build: a window reaches the database only through the gateway, never the engine.
#include "pointin/pointinputwindow.h"

#include "db/dbengine.h"

int main()
{
    return 0;
}
