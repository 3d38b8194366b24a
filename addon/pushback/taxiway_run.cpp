#include "taxiway_run.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "../core/config.h"
#include "../core/screen_text.h"
#include "../core/state.h"
#include "../map/map_question.h"
#include "ground_distance.h"
#include "measurement.h"
#include "menu_commands.h"
#include "sequencer.h"
#include "taxiway_plan.h"

namespace {

// The map's answer holds up to 1024 paths (57 KB): kept here rather than on
// the simulator's stack inside a timer callback.
MapAnswer g_answer;

void KillTaxiwayTimer() {
    if (PushbackState.taxiwayTimer != 0) KillTimer(nullptr, PushbackState.taxiwayTimer);
    PushbackState.taxiwayTimer = 0;
}

void ShowCorrectValueFirst() {
    ShowFormattedMessage("Taxiway: run \"Correct Value\" first for %s", PushbackState.aircraftKey);
}

double NormalisedDegrees(double degrees) {
    const double d = fmod(degrees, 360.0);
    return d < 0.0 ? d + 360.0 : d;
}

// Everything else of the run is an Auto item's: checklist, cues, keys, STOP.
bool StartPlannedRun(const TaxiwayPlan &plan, double correction, double heading) {
    PushbackState.pushMode = PushbackState.taxiwaySide == TAXIWAY_TAIL_LEFT ? PUSH_LEFT : PUSH_RIGHT;
    PushbackState.runKind = RUN_AUTO;
    StartPushback();
    if (PushbackState.pushMode == PUSH_NONE || PushbackState.sequenceTimer == 0) {
        KillTaxiwayTimer();
        return false;
    }
    PushbackState.targetHeading = plan.targetHeading;
    PushbackState.taxiwayPushMetres = plan.pushMetres - correction;
    PushbackState.pushDistance = static_cast<int>(floor(PushbackState.taxiwayPushMetres));
    PushbackState.taxiwayShownValue = -1;
    PushbackState.taxiwayTurnDegrees = plan.turnDegrees;
    PushbackState.taxiwayTurned = 0.0;
    PushbackState.taxiwayLastHeading = heading;
    PushbackState.taxiwayRun = 1;
    return true;
}

// Between two samples 50 ms apart the heading moves a fraction of a degree,
// so the shorter way round is the way it went; a jump of more than half a
// circle between two samples would be read the other way.
void FollowRotation() {
    const double heading = HeadingDegrees(SimSnapshot.heading);
    const double step = fmod(heading - PushbackState.taxiwayLastHeading + 540.0, 360.0) - 180.0;
    if (!isfinite(step)) return;  // a sample with no heading: the next one counts from the last good one
    const double sign = PushbackState.turnKey == '1' ? 1.0 : -1.0;
    PushbackState.taxiwayTurned += sign * step;
    PushbackState.taxiwayLastHeading = heading;
}

void TakeAnswer() {
    if (!TakeMapAnswer(PushbackState.taxiwayQuestion, &g_answer)) {
        if (++PushbackState.taxiwayWaitTicks < TAXIWAY_ANSWER_TICKS) return;
        memset(&g_answer.header, 0, sizeof g_answer.header);
        g_answer.header.status = MAP_NOT_READ_YET;
    }
    PushbackState.taxiwayQuestion = 0;
    // The pilot started something else, or left the ground, while the map
    // answered: the pick is dropped as if it came now.
    if (PushbackState.pushMode != PUSH_NONE || PushbackState.measureTimer != 0 || !IsOnGround()) {
        KillTaxiwayTimer();
        return;
    }
    const double radius = ReadTurnRadius(PushbackState.aircraftKey);
    if (radius == 0.0) {
        KillTaxiwayTimer();
        ShowCorrectValueFirst();
        return;
    }
    const double correction = TaxiwayTurnKeyLead(ReadCorrection(PushbackState.aircraftKey), radius);
    const TaxiwayAircraft aircraft = {HeadingDegrees(SimSnapshot.latitude), HeadingDegrees(SimSnapshot.longitude),
                                      NormalisedDegrees(HeadingDegrees(SimSnapshot.heading)), radius, correction,
                                      PushbackState.taxiwaySide};
    TaxiwayPlan plan;
    PlanTaxiwayPush(g_answer.header, g_answer.paths, g_answer.stands, aircraft, &plan);
    char text[256];
    FormatTaxiwayText(plan, PushbackState.taxiwaySide, text);
    if (plan.outcome != TAXIWAY_PLANNED) {
        KillTaxiwayTimer();
        ShowMessage(text);
        return;
    }
    // The push's own "Request Pushback !" comes first, so the plan is the text
    // the pilot reads while the aircraft moves; a push that could not start
    // has said why instead.
    if (StartPlannedRun(plan, correction, aircraft.heading)) ShowMessage(text);
}

}  // namespace

void PickTaxiway(int side) {
    if (PushbackState.taxiwayQuestion != 0) return;  // the last pick is still being planned
    if (!IsOnGround()) {
        ShowFormattedMessage("Check On Ground ! Your aircarft is %s", PushbackState.aircraftKey);
        return;
    }
    if (ReadTurnRadius(PushbackState.aircraftKey) == 0.0) {
        ShowCorrectValueFirst();
        return;
    }
    KillTaxiwayTimer();
    PushbackState.taxiwayRun = 0;
    PushbackState.taxiwaySide = side;
    PushbackState.taxiwayWaitTicks = 0;
    PushbackState.taxiwayQuestion =
        AskMap(HeadingDegrees(SimSnapshot.latitude), HeadingDegrees(SimSnapshot.longitude));
    PushbackState.taxiwayTimer = SetTimer(nullptr, 0, TAXIWAY_PERIOD_MS, TaxiwayTimerProc);
    if (PushbackState.taxiwayTimer == 0) PushbackState.taxiwayQuestion = 0;
}

void EndTaxiwayRun() {
    PushbackState.taxiwayRun = 0;
    if (PushbackState.taxiwayQuestion == 0) KillTaxiwayTimer();
}

void CancelTaxiwayPick() {
    if (PushbackState.taxiwayQuestion == 0) return;
    PushbackState.taxiwayQuestion = 0;
    KillTaxiwayTimer();
}

void EndTaxiwayForUnload() {
    CancelTaxiwayPick();
    EndTaxiwayRun();
}

void CALLBACK TaxiwayTimerProc(HWND /*window*/, UINT /*message*/, UINT_PTR /*timer*/, DWORD /*time*/) {
    if (PushbackState.taxiwayQuestion != 0) {
        TakeAnswer();
        return;
    }
    if (!PushbackState.taxiwayRun || PushbackState.sequenceTimer == 0) {
        EndTaxiwayRun();
        return;
    }
    FollowRotation();
    // No cue holds the steering: an engine cue plays during the push every
    // 11 s, and the aircraft would push and turn on past its plan meanwhile.
    if (PushbackState.sequenceStep == SEQUENCE_PUSHBACK && PushbackState.pushActive == 1 && PushbackState.runKind == RUN_AUTO)
        SteerAutomaticPushback();
}
