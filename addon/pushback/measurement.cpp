#include "measurement.h"

#include <stdio.h>

#include "../core/config.h"
#include "../core/screen_text.h"
#include "../core/state.h"
#include "ground_distance.h"
#include "key_injection.h"

void StartMeasurement() {
    if (!IsOnGround()) {
        ShowTextInBuffer("Check On Ground ! ");
        return;
    }
    if (PushbackState.measureTimer != 0) {
        ShowTextInBuffer("Now measuring ! ");
        return;
    }
    ShowTextInBuffer(PushbackState.aircraftKey);
    PushbackState.refLatitude = SimSnapshot.latitude;
    PushbackState.refLongitude = SimSnapshot.longitude;
    PushbackState.targetHeading = HeadingDegrees(SimSnapshot.heading);
    TogglePushback();
    SendKey('1', 0);  // the left-turn key: the turn whose delay is measured
    PushbackState.measureTimer = SetTimer(NULL, 0, MEASURE_PERIOD_MS, MeasureTimerProc);
}

void CALLBACK MeasureTimerProc(HWND /*window*/, UINT /*message*/, UINT_PTR /*timer*/, DWORD /*time*/) {
    const double heading = HeadingDegrees(SimSnapshot.heading);
    const double distance = GroundDistance(SimSnapshot.latitude, SimSnapshot.longitude);

    ShowFormattedMessage("Request mesurement ! Your aircraft is %s Distance = %f", PushbackState.aircraftKey,
                         distance);

    // Compared the smaller way round, so a start near north does not end at
    // the first sample across 0/360.
    if (HeadingDifference(PushbackState.targetHeading, heading) < MEASURE_TURN_DEGREES) {
        PushbackState.runKind = RUN_MEASURING;
        return;
    }

    KillTimer(NULL, PushbackState.measureTimer);
    PushbackState.measureTimer = 0;
    PushbackState.runKind = RUN_MANUAL;
    WriteCorrection(PushbackState.aircraftKey, distance);
    TogglePushback();
}
