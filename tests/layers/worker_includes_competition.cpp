// Must not build: the statement worker knows no table of the competition.
#include "db/statementworker.h"

#include "db/statements.h"

int main()
{
    return 0;
}
