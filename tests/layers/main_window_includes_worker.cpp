// Must not build: the main window and the station's sessions ask the gateway; the statement
// worker under it is none of theirs.
#include "app/mainwindow.h"

#include "db/statementworker.h"

int main()
{
    return 0;
}
