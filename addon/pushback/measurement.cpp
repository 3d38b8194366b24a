#include "measurement.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "../core/config.h"
#include "../core/screen_text.h"
#include "../core/state.h"
#include "ground_distance.h"
#include "key_injection.h"

namespace {

void EndMeasurement() {
    KillTimer(nullptr, PushbackState.measureTimer);
    PushbackState.measureTimer = 0;
    PushbackState.runKind = RUN_MANUAL;
    PushbackState.measurementStopPending = 0;
    PushbackState.measuringRadius = 0;
}

// The measurement has nothing more to find; it ends once its pushback is
// stopped. A measurement whose Shift+P could not be sent would leave the
// aircraft turning with nobody to stop it, so its timer runs on and retries.
void StopAndEnd() {
    if (StopSimulatorPushback())
        EndMeasurement();
    else
        PushbackState.measurementStopPending = 1;
}

bool MeasuresTheSameAircraft() {
    return !PushbackState.measurementDisturbed &&
           strcmp(PushbackState.measuredAircraft, PushbackState.aircraftKey) == 0;
}

struct MeasuredValue {
    const char *name;
    double minimum;
    double maximum;
};
const MeasuredValue kCorrectionValue = {"correction", -kCorrectionLimit, kCorrectionLimit};
const MeasuredValue kRadiusValue = {"turn radius", kRadiusMinimum, kRadiusMaximum};

// The pilot has just run "Correct Value": a value it does not store is said,
// with why and what the next runs go on with (kept is 0 for none), or a
// Taxiway pick would ask for "Correct Value" again without a reason.
// Returns true when it was stored.
bool Stored(ConfigStore outcome, const MeasuredValue &value, double measured, double kept) {
    const char *key = PushbackState.aircraftKey;
    if (outcome == CONFIG_NOT_WRITTEN) {
        ShowFormattedMessage("Correct Value: Drovana.cfg could not be written, the %s %.1f m for %s is not saved",
                             value.name, measured, key);
    } else if (outcome == CONFIG_OUT_OF_RANGE) {
        char keeps[TEXT_SIZE];
        if (kept != 0.0)
            snprintf(keeps, sizeof keeps, "%s keeps %.1f m", key, kept);
        else
            snprintf(keeps, sizeof keeps, "%s has none", key);
        ShowFormattedMessage("Correct Value: the %s %.1f m is outside %g to %g m and not kept; %s", value.name,
                             measured, value.minimum, value.maximum, keeps);
    }
    return outcome == CONFIG_STORED;
}

// From where the heading first moved, the turn is an arc: its chord and the
// heading turned since give the radius whatever the sampling's phase.
void FollowTurnForRadius(double heading) {
    if (HeadingDifference(PushbackState.targetHeading, heading) < MEASURE_RADIUS_DEGREES) return;
    const double turned = HeadingDifference(PushbackState.radiusStartHeading, heading) * acos(-1.0) / 180.0;
    const double chord = GroundDistance(SimSnapshot.latitude, SimSnapshot.longitude);
    // Out of range (a jump of the position, a turn that stalled) stores
    // nothing: the old radius stays.
    if (MeasuresTheSameAircraft() && turned > 0.0) {
        const double radius = chord / (2.0 * sin(turned / 2.0));
        const double kept = ReadTurnRadius(PushbackState.aircraftKey);
        Stored(WriteTurnRadius(PushbackState.aircraftKey, radius), kRadiusValue, radius, kept);
    }
    StopAndEnd();
}

}  // namespace

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
    // Without its pushback the heading would never move and the measurement
    // would never end.
    if (!StartSimulatorPushback()) return;
    // The left-turn key: the turn whose delay is measured. Without it the
    // aircraft would push straight and the measurement never end.
    if (!SendKey('1', 0)) {
        StopSimulatorPushback();
        return;
    }
    lstrcpynA(PushbackState.measuredAircraft, PushbackState.aircraftKey, sizeof PushbackState.measuredAircraft);
    PushbackState.measurementDisturbed = 0;
    PushbackState.measurementStopPending = 0;
    PushbackState.measureTimer = SetTimer(nullptr, 0, MEASURE_PERIOD_MS, MeasureTimerProc);
}

void AbortMeasurement() {
    if (PushbackState.measureTimer == 0) return;
    // Its start and turn keys may still be queued (a STOP in the frame of
    // the pick): they would start and turn a pushback that nothing follows.
    RetireQueuedKeys();
    StopAndEnd();
}

void NoteAircraftLoaded() {
    if (PushbackState.measureTimer != 0) PushbackState.measurementDisturbed = 1;
}

void CALLBACK MeasureTimerProc(HWND /*window*/, UINT /*message*/, UINT_PTR /*timer*/, DWORD /*time*/) {
    if (PushbackState.measurementStopPending) {
        StopAndEnd();
        return;
    }
    // A pushback the simulator ended under the measurement (the aircraft left
    // the ground) would hold it for ever and, with it, every pushback start;
    // what it measured so far is no correction.
    if (SimPushbackSettled() && !SimPushbackRunning()) {
        EndMeasurement();
        return;
    }

    const double heading = HeadingDegrees(SimSnapshot.heading);
    if (PushbackState.measuringRadius) {
        FollowTurnForRadius(heading);
        return;
    }
    const double distance = GroundDistance(SimSnapshot.latitude, SimSnapshot.longitude);

    ShowFormattedMessage("Request mesurement ! Your aircraft is %s Distance = %f", PushbackState.aircraftKey,
                         distance);

    // Compared the smaller way round, so a start near north does not end at
    // the first sample across 0/360.
    if (HeadingDifference(PushbackState.targetHeading, heading) < MEASURE_TURN_DEGREES) {
        PushbackState.runKind = RUN_MEASURING;
        return;
    }

    // Another aircraft loaded meanwhile: the distance belongs to neither. A
    // distance beyond the correction's range (a position jump, a turn key
    // lost for a long roll) is not stored either: the old value stays, and
    // no radius is looked for after it, nor after a file that refused it.
    if (!MeasuresTheSameAircraft()) {
        StopAndEnd();
        return;
    }
    const double kept = ReadCorrection(PushbackState.aircraftKey);
    if (!Stored(WriteCorrection(PushbackState.aircraftKey, distance), kCorrectionValue, distance, kept)) {
        StopAndEnd();
        return;
    }
    PushbackState.measuringRadius = 1;
    PushbackState.radiusStartHeading = heading;
    PushbackState.refLatitude = SimSnapshot.latitude;
    PushbackState.refLongitude = SimSnapshot.longitude;
}
