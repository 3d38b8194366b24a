#include "menu_commands.h"

#include <math.h>
#include <stdio.h>

#include "../core/config.h"
#include "../core/identifiers.h"
#include "../core/screen_text.h"
#include "../core/state.h"
#include "ground_distance.h"
#include "key_injection.h"
#include "measurement.h"
#include "sequencer.h"
#include "taxiway_plan.h"
#include "taxiway_run.h"

namespace {

void BeginRun(int pushMode, int runKind) {
    PushbackState.pushMode = pushMode;
    PushbackState.runKind = runKind;
    StartPushback();
}

void Turn(int pushMode, WORD key) {
    const int previous = PushbackState.pushMode;
    PushbackState.pushMode = pushMode;
    if (!SendKey(key, 0)) PushbackState.pushMode = previous;  // the simulator got no key
}

void Stop() {
    // Keys of the run still queued (a pick in the same frame) would start or
    // turn the pushback again after this.
    RetireQueuedKeys();
    PushbackState.sequenceStep = SEQUENCE_END;
    PushbackState.pushActive = 0;
    PushbackState.autoPhase = PHASE_PUSH_OUT;
    PushbackState.stopRequested = 1;
    // STOP only ever stops: before the start step, after the roll-out, while
    // the closing cue plays, the simulator reports no pushback, and a toggle
    // would start one that nobody steers.
    if (StopSimulatorPushback() && PushbackState.runKind == RUN_MANUAL) {
        PushbackState.sequenceStep = SEQUENCE_IDLE;
        PushbackState.pushMode = PUSH_NONE;
        PushbackState.stopRequested = 0;
        if (PushbackState.sequenceTimer != 0) {
            KillTimer(nullptr, PushbackState.sequenceTimer);
            PushbackState.sequenceTimer = 0;
        }
        return;
    }
    // The run's last step tries again each tick until the simulator reports
    // no pushback; a pushback found running has no run, so it gets one, and
    // no other run starts meanwhile.
    if (PushbackState.pushMode == PUSH_NONE) PushbackState.pushMode = PUSH_STRAIGHT;
    if (PushbackState.sequenceTimer == 0)
        PushbackState.sequenceTimer = SetTimer(nullptr, 0, SEQUENCER_PERIOD_MS, SequencerTick);
}

// In an automatic run only the run's own turn key may reach the simulator.
bool TurnAllowed(char key) { return PushbackState.runKind != RUN_AUTO || PushbackState.turnKey == key; }

void RequestSettingDialog() {
    SimConnect_SetSystemState(PushbackState.simConnect, "DialogMode", 1, 0.0f, nullptr);
    SimConnect_RequestSystemState(PushbackState.simConnect, REQ_DIALOG_MODE, "DialogMode");
}

}  // namespace

void OnSimEvent(const SIMCONNECT_RECV_EVENT *event) {
    const bool idle = PushbackState.pushMode == PUSH_NONE;
    // A measurement owns the pushback and the reference point until it ends;
    // a run started meanwhile would overwrite both and store a false value.
    const bool mayStart = idle && PushbackState.measureTimer == 0;
    switch (event->uEventID) {
    case EVENT_SIM_START:
        SimConnect_RequestSystemState(PushbackState.simConnect, REQ_AIRCRAFT_LOADED, "AircraftLoaded");
        TakeSimulatorStateAsFound();
        break;
    case MENU_AUTO_RIGHT:
        if (mayStart) BeginRun(PUSH_RIGHT, RUN_AUTO);
        break;
    case MENU_AUTO_LEFT:
        if (mayStart) BeginRun(PUSH_LEFT, RUN_AUTO);
        break;
    case MENU_TAXIWAY_RIGHT:
        if (mayStart) PickTaxiway(TAXIWAY_TAIL_RIGHT);
        break;
    case MENU_TAXIWAY_LEFT:
        if (mayStart) PickTaxiway(TAXIWAY_TAIL_LEFT);
        break;
    case MENU_PUSHBACK:
        if (mayStart) BeginRun(PUSH_STRAIGHT, RUN_MANUAL);
        break;
    case MENU_TURN_RIGHT:
        if (!idle && TurnAllowed('2')) Turn(PUSH_RIGHT, '2');
        break;
    case MENU_TURN_LEFT:
        if (!idle && TurnAllowed('1')) Turn(PUSH_LEFT, '1');
        break;
    case MENU_STOP:
        CancelTaxiwayPick();
        // A measurement that never sees its heading move (its turn key was
        // lost) would otherwise push on with every start refused. A pushback
        // the add-on found running (loaded into one) is stopped all the same.
        if (PushbackState.measureTimer != 0)
            AbortMeasurement();
        else if ((!idle && PushbackState.pushActive != 0) || (idle && SimPushbackRunning()))
            Stop();
        break;
    case MENU_CORRECT:
        if (idle) StartMeasurement();
        break;
    case MENU_SETTING:
        if (idle) RequestSettingDialog();
        break;
    default:
        break;
    }
}

void OnSimulatorQuit() {
    CancelTaxiwayPick();
    if (PushbackState.measureTimer != 0) AbortMeasurement();
    // Whatever step it is at, checklist and closing cue included: a run ends
    // once the simulator reports its pushback stopped, a manual one at once
    // when the stop key goes out now. A pushback the pilot started alone is
    // the pilot's.
    if (PushbackState.sequenceTimer != 0) Stop();
}

void TakeSimulatorStateAsFound() {
    // A run or measurement follows the simulator's state itself.
    if (PushbackState.sequenceTimer != 0 || PushbackState.measureTimer != 0 || !SimPushbackSettled()) return;
    // A pushback of the pilot's from before (or none) in a new flight: what
    // the simulator reports now, so the next Shift+P, STOP or pick acts on it.
    const bool running = SimPushbackRunning();
    PushbackState.pushMode = running ? PUSH_STRAIGHT : PUSH_NONE;
    PushbackState.pushActive = running ? 1 : 0;
}

void EndRunsForUnload() {
    // Only a pushback the add-on drives is stopped, once and without waiting:
    // no tick will come to try again.
    const bool driving = PushbackState.sequenceTimer != 0 || PushbackState.measureTimer != 0;
    EndTaxiwayForUnload();
    if (PushbackState.sequenceTimer != 0) KillTimer(nullptr, PushbackState.sequenceTimer);
    if (PushbackState.measureTimer != 0) KillTimer(nullptr, PushbackState.measureTimer);
    PushbackState.sequenceTimer = 0;
    PushbackState.measureTimer = 0;
    PushbackState.sequenceStep = SEQUENCE_IDLE;
    PushbackState.runKind = RUN_MANUAL;
    PushbackState.pushMode = PUSH_NONE;
    PushbackState.pushActive = 0;
    PushbackState.stopRequested = 0;
    PushbackState.measurementStopPending = 0;
    RetireQueuedKeys();
    if (driving) StopSimulatorPushback();
}

void StartPushback() {
    const bool onGround = IsOnGround();
    // A long aircraft key is cut to what the 256-byte message holds.
    ShowFormattedMessage("%s%s", onGround ? "Request Pushback ! Your aircraft is " : "Check On Ground ! Your aircarft is ",
                         PushbackState.aircraftKey);
    if (!onGround) {
        PushbackState.pushMode = PUSH_NONE;
        PushbackState.runKind = RUN_MANUAL;
        return;
    }

    // Every value within its range, so the push distance less the correction
    // stays a few hundred metres at most: the run always reaches its turn.
    PushbackState.turnAngle = ReadConfigNumber(kSectionData, kHead);
    PushbackState.pushDistance = ReadConfigNumber(kSectionData, kDistance);
    PushbackState.soundOn = ReadConfigNumber(kSectionData, kWavFlag);
    PushbackState.engineCheckMode = ReadConfigNumber(kSectionData, kEngFlag);
    PushbackState.pushDistance -= RoundedCorrection(ReadCorrection(PushbackState.aircraftKey));

    PushbackState.refLatitude = SimSnapshot.latitude;
    PushbackState.refLongitude = SimSnapshot.longitude;
    const double heading = HeadingDegrees(SimSnapshot.heading);
    PushbackState.targetHeading = heading;
    switch (PushbackState.pushMode) {
    case PUSH_LEFT:
        PushbackState.turnKey = '1';
        PushbackState.targetHeading = heading + PushbackState.turnAngle;
        if (PushbackState.targetHeading > 360.0) PushbackState.targetHeading -= 360.0;
        break;
    case PUSH_RIGHT:
        PushbackState.turnKey = '2';
        PushbackState.targetHeading = heading - PushbackState.turnAngle;
        if (PushbackState.targetHeading <= 0.0) PushbackState.targetHeading += 360.0;
        break;
    default:
        break;
    }

    PushbackState.engineCount = static_cast<int>(SimSnapshot.numberOfEngines);
    PushbackState.engineIndex = 1;
    PushbackState.engineDoneCued = 0;
    PushbackState.sequenceStep = SEQUENCE_OPENING_CUE;
    PushbackState.pushActive = 1;
    PushbackState.pushMode = PUSH_STRAIGHT;
    PushbackState.autoPhase = PHASE_PUSH_OUT;
    PushbackState.engineWaitTicks = 0;
    PushbackState.stopRequested = 0;

    // The user's Shift+P can end a pushback while the last run's closing
    // steps still tick; that run gives way, so one timer drives the new one.
    if (PushbackState.sequenceTimer != 0) KillTimer(nullptr, PushbackState.sequenceTimer);
    PushbackState.sequenceTimer = SetTimer(nullptr, 0, SEQUENCER_PERIOD_MS, SequencerTick);
}
