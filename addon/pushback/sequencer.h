// The 1000 ms state machine that walks a pushback run from its opening cue to
// "Good luck !": checklist, start, the pushback itself (an automatic run
// pushes, turns and rolls out on its own), closing checklist, end.
#ifndef DROVANA_ADDON_PUSHBACK_SEQUENCER_H
#define DROVANA_ADDON_PUSHBACK_SEQUENCER_H

#include <windows.h>

static const int SEQUENCER_PERIOD_MS = 1000;
static const double ROLL_OUT_METRES = 5.0;
static const double TURN_END_DEGREES = 1.0;
static const double TAXIWAY_TURN_END_DEGREES = 0.25;

// Step 8 of an automatic run: push out, turn, roll out. The sequencer's tick
// calls it for the Auto items, the taxiway run's own timer for a taxiway push.
void SteerAutomaticPushback();

// Thread-timer procedure; its arguments are not used.
void CALLBACK SequencerTick(HWND window, UINT message, UINT_PTR timer, DWORD time);

#endif
