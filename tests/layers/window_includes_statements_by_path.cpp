// Must not build: a path written around the layers' folders reaches the file, not the layer.
#include "pointin/pointinputwindow.h"

#include "../../db/statements.h"

int main()
{
    return 0;
}
