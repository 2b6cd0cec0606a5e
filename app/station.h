#pragma once

// The program's three top-level objects, created in this order and alive until the end:
// the main window Fmain (closing it ends the program), the point input window Fpointin and
// the data module Dm1.
namespace station {
void create();
void destroy();
} // namespace station
