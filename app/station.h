#pragma once

class CompetitionGateway;
class TFmain;
class TFpointin;

// The program's top-level objects, created in this order and alive until the end: the main
// window Fmain (closing it ends the program), the point input window Fpointin and the
// competition gateway that both windows reach the database through.
extern TFmain *Fmain;
extern TFpointin *Fpointin;

namespace station {
void create();
void destroy();
CompetitionGateway *gateway();
} // namespace station
