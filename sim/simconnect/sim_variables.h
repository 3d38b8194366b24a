// Maps a simulation variable and its units, as a client registers them, to a
// value of the stand-in's aircraft.
#ifndef DROVANA_SIM_SIM_VARIABLES_H
#define DROVANA_SIM_SIM_VARIABLES_H

#include "standin.h"

struct VariableBinding {
    int source;       // which aircraft value; -1 when the variable is unknown
    double scale;     // the value in the requested units is value * scale
    bool unitsKnown;  // false: the units were not understood and scale is 1
};

VariableBinding BindVariable(const char *variable, const char *units);
double ReadVariable(const VariableBinding &binding, const StandInAircraft &aircraft);

#endif
