// Must not build: the SQL engine knows no thread of the worker.
#include "db/dbengine.h"

#include "db/statementworker.h"

int main()
{
    return 0;
}
