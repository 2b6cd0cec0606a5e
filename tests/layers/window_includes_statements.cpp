// Must not build: a window never runs a statement of its own.
#include "pointin/pointinputwindow.h"

#include "db/statements.h"

int main()
{
    return 0;
}
