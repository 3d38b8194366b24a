#include "sequencer.h"

#include <math.h>
#include <stdio.h>

#include "../core/config.h"
#include "../core/screen_text.h"
#include "../core/state.h"
#include "../sound/sound_request.h"
#include "ground_distance.h"
#include "key_injection.h"
#include "prompts.h"
#include "taxiway_run.h"

namespace {

void Cue(const char *section) {
    if (PushbackState.soundOn == 1) StartCue(section);
}

void Advance() { PushbackState.sequenceStep += 1; }

// The taxiway run's progress numbers come many times a second: each is shown
// once, as the one-second tick shows it.
void ShowProgress(const char *label, int value) {
    if (PushbackState.taxiwayRun) {
        if (value == PushbackState.taxiwayShownValue) return;
        PushbackState.taxiwayShownValue = value;
    }
    ShowFormattedMessage("%s = %d", label, value);
}

bool PushedFarEnough(double distance) {
    if (PushbackState.taxiwayRun) return distance > PushbackState.taxiwayPushMetres;
    return distance > static_cast<double>(PushbackState.pushDistance);
}

// The Auto items take a turn within 1 degree of its end as ended. The taxiway
// run samples often enough to end it within a fraction of a degree, and ends
// it at the first sample at or past its end however far past: what is left is
// the plan's turn less the rotation so far, never a heading taken modulo 360.
bool TurnHasEnded(double heading) {
    if (!PushbackState.taxiwayRun) return HeadingDifference(heading, PushbackState.targetHeading) < TURN_END_DEGREES;
    return PushbackState.taxiwayTurnDegrees - PushbackState.taxiwayTurned < TAXIWAY_TURN_END_DEGREES;
}

}  // namespace

// Step 8 of an automatic run: push out, turn to the target heading, roll out.
void SteerAutomaticPushback() {
    const double latitude = SimSnapshot.latitude;
    const double longitude = SimSnapshot.longitude;
    const double heading = HeadingDegrees(SimSnapshot.heading);

    switch (PushbackState.autoPhase) {
    case PHASE_PUSH_OUT: {
        const double distance = GroundDistance(latitude, longitude);
        ShowProgress("Distance", static_cast<int>(distance));
        // The turn phase begins when the turn key comes back through the
        // window hook; until then every tick past the distance asks again.
        if (PushedFarEnough(distance)) StartTurn();
        break;
    }
    case PHASE_TURNING:
        ShowProgress("Heading", static_cast<int>(floor(heading + 0.5)));
        // The turn goes on until the restart that ends it reaches the
        // simulator: with another program in front, the next tick tries again
        // instead of rolling out a pushback that still turns.
        if (TurnHasEnded(heading) && RestartPushback()) {
            PushbackState.autoPhase = PHASE_ROLL_OUT;
            PushbackState.refLatitude = latitude;
            PushbackState.refLongitude = longitude;
        }
        break;
    case PHASE_ROLL_OUT: {
        const double distance = GroundDistance(latitude, longitude);
        ShowProgress("Distance", static_cast<int>(distance));
        // The run's own pushback must not roll on unsteered: if the stop
        // cannot be sent now, the next tick tries again.
        if (distance > ROLL_OUT_METRES && StopSimulatorPushback()) {
            Advance();
            PushbackState.autoPhase = PHASE_PUSH_OUT;
        }
        break;
    }
    default:
        break;
    }
}

namespace {

void FinishRun() {
    KillTimer(nullptr, PushbackState.sequenceTimer);
    PushbackState.sequenceTimer = 0;
    PushbackState.runKind = RUN_MANUAL;
    PushbackState.sequenceStep = SEQUENCE_IDLE;
    PushbackState.stopRequested = 0;
    RetireQueuedKeys();
    EndTaxiwayRun();
}

const char kWaitingForWindow[] = "STOP: waiting for the simulator's window";

// True once the simulator reports no pushback; until then each call sends
// the stop key when it can and says so on screen when it cannot.
bool SimulatorPushbackStopped() {
    if (!SimPushbackSettled()) return false;
    if (!SimPushbackRunning()) return true;
    if (!TogglePushback()) ShowFixedText(kWaitingForWindow);
    return false;
}

// The simulator ended the run's pushback by itself (or the pilot did): the
// run goes on to its closing steps instead of waiting for a distance or a
// heading that no longer changes.
void NoteSimulatorPushbackEnded() {
    if (!SimPushbackSettled() || SimPushbackRunning()) return;
    PushbackState.pushActive = 0;
}

void Pushback() {
    NoteSimulatorPushbackEnded();
    if (PushbackState.pushActive != 1) {
        PushbackState.autoPhase = PHASE_PUSH_OUT;
        Advance();
        return;
    }
    if (PushbackState.engineCheckMode == 2) EnginePrompt(0);
    if (PushbackState.runKind != RUN_AUTO) return;  // the user steers and ends it
    if (PushbackState.taxiwayRun) return;           // steered on its own finer timer
    SteerAutomaticPushback();
}

void EndRun() {
    if (PushbackState.runKind == RUN_AUTO || PushbackState.stopRequested) {
        // A STOP or the roll-out has stopped the pushback, unless its keys
        // could not be sent; the run does not end before the simulator
        // reports it stopped.
        if (!SimulatorPushbackStopped()) return;
    } else if (SimPushbackRunning()) {
        // The pilot started the pushback again with Shift+P during the closing
        // steps: it stays the pilot's own, as if no run had been (the hook set
        // pushMode and pushActive), and the pilot's next Shift+P or STOP ends
        // it. Clearing pushMode here would invert every later Shift+P.
        FinishRun();
        return;
    }
    PushbackState.pushMode = PUSH_NONE;
    FinishRun();
}

// Ticks no cue holds: an automatic run's pushback step steers (distance and
// heading are checked on every tick whatever cue plays, or the aircraft would
// push and turn on unwatched for as long as the cue lasts), and a STOP keeps
// trying to stop the pushback.
bool CueMayNotHold() {
    if (PushbackState.stopRequested) return true;
    return PushbackState.sequenceStep == SEQUENCE_PUSHBACK && PushbackState.runKind == RUN_AUTO &&
           PushbackState.pushActive == 1;
}

}  // namespace

void CALLBACK SequencerTick(HWND /*window*/, UINT /*message*/, UINT_PTR /*timer*/, DWORD /*time*/) {
    // A cue holds the checklist steps until it has been heard.
    if (PushbackState.soundOn == 1 && PushbackState.soundBusy == 1 && !CueMayNotHold()) return;
    if (PushbackState.sequenceStep > SEQUENCE_END || PushbackState.sequenceStep < SEQUENCE_OPENING_CUE) return;

    switch (PushbackState.sequenceStep) {
    case SEQUENCE_OPENING_CUE:
        Cue("Sound0");
        Advance();
        break;
    case SEQUENCE_BRAKE_SET_PROMPT:
        if (ReadConfigSwitch(kSectionParking, kCheck1) && !IsParkingBrakeSet()) ShowBrakePrompt(BRAKE_SET_BEFORE);
        PushbackState.brakeReminderTicks = 0;
        Advance();
        break;
    case SEQUENCE_BRAKE_SET_WAIT:
        if (ReadConfigSwitch(kSectionParking, kCheck1) && !WaitForBrake(BRAKE_SET_BEFORE, 0)) break;
        Cue("Sound1");
        Advance();
        break;
    case SEQUENCE_ENGINES_BEFORE:
        if (PushbackState.engineCheckMode == 1)
            EnginePrompt(1);
        else
            Advance();
        break;
    case SEQUENCE_RELEASE_CUE:
        Cue("Sound2");
        Advance();
        break;
    case SEQUENCE_BRAKE_RELEASE_PROMPT:
        if (ReadConfigSwitch(kSectionParking, kCheck2) && IsParkingBrakeSet()) ShowBrakePrompt(BRAKE_RELEASE_BEFORE);
        PushbackState.brakeReminderTicks = 0;
        Advance();
        break;
    case SEQUENCE_BRAKE_RELEASE_WAIT:
        if (ReadConfigSwitch(kSectionParking, kCheck2) && !WaitForBrake(BRAKE_RELEASE_BEFORE, 1)) break;
        Cue("Sound3");
        Advance();
        break;
    case SEQUENCE_START_PUSHBACK:
        // The pilot started and ended the run's pushback with Shift+P before
        // this step: it is over, and a start here would begin one that no
        // run, Shift+P count or STOP follows any more.
        if (PushbackState.pushActive != 1) {
            Advance();
            break;
        }
        // The pilot may have started it already (a manual run takes the
        // pilot's Shift+P at any step); the toggle would stop it again.
        if (!StartSimulatorPushback()) break;
        Advance();
        break;
    case SEQUENCE_PUSHBACK:
        Pushback();
        break;
    case SEQUENCE_STOPPED_CUE:
        Cue("Sound4");
        Advance();
        break;
    case SEQUENCE_BRAKE_AFTER_PROMPT:
        if (ReadConfigSwitch(kSectionParking, kCheck3) && !IsParkingBrakeSet()) ShowBrakePrompt(BRAKE_SET_AFTER);
        PushbackState.brakeReminderTicks = 0;
        Advance();
        break;
    case SEQUENCE_BRAKE_AFTER_WAIT:
        if (ReadConfigSwitch(kSectionParking, kCheck3) && !WaitForBrake(BRAKE_SET_AFTER, 0)) break;
        if (PushbackState.engineCheckMode == 3)
            EnginePrompt(1);
        else
            Advance();
        break;
    case SEQUENCE_CLOSING_CUE:
        Cue("Sound5");
        Advance();
        ShowTextInBuffer("Good luck !");
        break;
    case SEQUENCE_END:
        EndRun();
        break;
    default:
        break;
    }
}
