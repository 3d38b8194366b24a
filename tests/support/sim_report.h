// What the simulator's latest position reply said of its pushback, with every
// Shift+P already answered: how a test puts the simulator's state in place.
#ifndef DROVANA_TESTS_SUPPORT_SIM_REPORT_H
#define DROVANA_TESTS_SUPPORT_SIM_REPORT_H

#include "core/state.h"

inline void SimReportsPushback(bool running) {
    SimSnapshot.pushbackState = running ? 0.0 : 3.0;
    PushbackState.ownToggleSent = 0;
}

#endif
