// "Correct Value": how far the loaded aircraft rolls after a turn command
// before its heading moves, stored per aircraft under [PLANE_CORRECT] and
// taken off the straight push of every later automatic pushback; then, as the
// turn goes on to 15 degrees, how tight it turns, stored under [PLANE_RADIUS]
// for the taxiway push.
#ifndef DROVANA_ADDON_PUSHBACK_MEASUREMENT_H
#define DROVANA_ADDON_PUSHBACK_MEASUREMENT_H

#include <windows.h>

static const int MEASURE_PERIOD_MS = 300;
static const double MEASURE_TURN_DEGREES = 1.0;
static const double MEASURE_RADIUS_DEGREES = 15.0;

void StartMeasurement();

// STOP during a measurement: ends it, stores nothing and stops its pushback
// (at a later tick when the simulator is not in front now).
void AbortMeasurement();

// The simulator says another aircraft was loaded: a running measurement
// stores nothing.
void NoteAircraftLoaded();

// Thread-timer procedure; its arguments are not used.
void CALLBACK MeasureTimerProc(HWND window, UINT message, UINT_PTR timer, DWORD time);

#endif
