#include <math.h>

#include "pushback/ground_distance.h"
#include "pushback/sequencer.h"
#include "pushback/taxiway_run.h"
#include "run_fixture.h"

namespace {

void Tick() { SequencerTick(nullptr, WM_TIMER, 0, 0); }

// Latitudes north of the reference point on either side of a distance: the
// largest one that does not exceed it and the smallest one that does.
void StraddleDistance(double metres, double *notBeyond, double *beyond) {
    double low = PushbackState.refLatitude, high = low + 1e-5;
    while (nextafter(low, high) < high) {
        const double middle = low + (high - low) / 2;
        if (middle <= low || middle >= high) break;
        (GroundDistance(middle, PushbackState.refLongitude) > metres ? high : low) = middle;
    }
    *notBeyond = low;
    *beyond = high;
}

class Sequencer : public RunFixture {
protected:
    void AutomaticAt(int phase, double latitude, double headingDegrees) {
        BeginRun(RUN_AUTO, SEQUENCE_PUSHBACK);
        PushbackState.autoPhase = phase;
        PushbackState.refLatitude = 0.2;
        PushbackState.refLongitude = 0.3;
        SimSnapshot.latitude = latitude;
        SimSnapshot.longitude = 0.3;
        SimSnapshot.heading = RadiansFor(headingDegrees);
    }
    // A taxiway run as its plan leaves it: a turn of `turn` degrees the
    // turn key's way round from the heading the plan was made at.
    void TaxiwayAt(int phase, double latitude, double headingDegrees, char turnKey, double turn) {
        AutomaticAt(phase, latitude, headingDegrees);
        PushbackState.turnKey = turnKey;
        PushbackState.taxiwayRun = 1;
        PushbackState.taxiwayTurnDegrees = turn;
        PushbackState.taxiwayTurned = 0.0;
        PushbackState.taxiwayLastHeading = headingDegrees;
    }
    static void TaxiwaySample(double headingDegrees) {
        SimSnapshot.heading = isnan(headingDegrees) ? headingDegrees : RadiansFor(headingDegrees);
        TaxiwayTimerProc(nullptr, WM_TIMER, 0, 0);
    }
};

TEST_F(Sequencer, DefaultRunStartsAtTheEighthTickAndEndsSixTicksAfterThePushback) {
    BeginRun(RUN_MANUAL, SEQUENCE_OPENING_CUE);
    const UINT_PTR timer = PushbackState.sequenceTimer;
    for (int tick = 1; tick <= 7; ++tick) Tick();
    EXPECT_EQ(SEQUENCE_START_PUSHBACK, PushbackState.sequenceStep);
    EXPECT_EQ("", KeysAfter(0)) << "nothing is sent before the start step";
    Tick();
    EXPECT_EQ(kToggleKeys, KeysAfter(5));
    EXPECT_EQ(SEQUENCE_PUSHBACK, PushbackState.sequenceStep);

    for (int tick = 0; tick < 5; ++tick) Tick();
    EXPECT_EQ(SEQUENCE_PUSHBACK, PushbackState.sequenceStep) << "a manual run waits for the user";
    EXPECT_TRUE(fake_simconnect::Texts().empty());

    PushbackState.pushActive = 0;  // the user's Shift+P
    PushbackState.pushMode = PUSH_NONE;
    SimReportsPushback(false);
    for (int tick = 0; tick < 5; ++tick) Tick();
    EXPECT_EQ(SEQUENCE_END, PushbackState.sequenceStep);
    EXPECT_EQ("Good luck !", LastText());
    Tick();
    EXPECT_EQ(SEQUENCE_IDLE, PushbackState.sequenceStep);
    EXPECT_EQ(0u, PushbackState.sequenceTimer);
    EXPECT_FALSE(KillTimer(nullptr, timer)) << "the end step left its timer running";
    EXPECT_EQ(RUN_MANUAL, PushbackState.runKind);
    Tick();
    EXPECT_EQ(SEQUENCE_IDLE, PushbackState.sequenceStep);
    EXPECT_EQ("", KeysAfter(0));
}

TEST_F(Sequencer, TurnStartsOnlyBeyondThePushDistance) {
    AutomaticAt(PHASE_PUSH_OUT, 0.0, 90.0);
    PushbackState.refLatitude = PushbackState.refLongitude = SimSnapshot.longitude = 0.0;  // exactly 0 m
    PushbackState.pushDistance = 0;
    Tick();
    EXPECT_EQ("Distance = 0", LastText());
    EXPECT_EQ("", KeysAfter(0)) << "an equal distance must not turn";

    AutomaticAt(PHASE_PUSH_OUT, 0.2, 90.0);
    double notBeyond, beyond;
    PushbackState.pushDistance = 3;
    StraddleDistance(3.0, &notBeyond, &beyond);
    SimSnapshot.latitude = notBeyond;
    Tick();
    EXPECT_EQ("", KeysAfter(0));
    SimSnapshot.latitude = beyond;
    Tick();
    EXPECT_EQ(std::string(kRestartKeys) + " +1 -1", KeysAfter(9));
    EXPECT_EQ(PUSH_LEFT, PushbackState.pushMode);
    EXPECT_EQ(PHASE_PUSH_OUT, PushbackState.autoPhase) << "the turn phase waits for the key to come back";
    Tick();
    EXPECT_EQ(std::string(kRestartKeys) + " +1 -1", KeysAfter(9)) << "an unseen turn key is sent again";
}

TEST_F(Sequencer, TurnEndsWithinOneDegreeOfTheTarget) {
    AutomaticAt(PHASE_TURNING, 0.2001, 90.0);
    PushbackState.targetHeading = 91.0;
    Tick();
    EXPECT_EQ("Heading = 90", LastText());
    EXPECT_EQ(PHASE_TURNING, PushbackState.autoPhase) << "exactly 1.0 degree must not end the turn";
    SimSnapshot.heading = RadiansFor(90.5);
    Tick();
    EXPECT_EQ("Heading = 91", LastText());
    EXPECT_EQ(PHASE_ROLL_OUT, PushbackState.autoPhase);
    EXPECT_EQ(0.2001, PushbackState.refLatitude) << "the roll-out is measured from where the turn ended";
    EXPECT_EQ(kRestartKeys, KeysAfter(7));
}

TEST_F(Sequencer, ATurnEndedWhileAnotherProgramIsInFrontEndsWhenTheSimulatorIsBack) {
    AutomaticAt(PHASE_TURNING, 0.2001, 91.0);
    PushbackState.targetHeading = 91.0;
    const HWND simulator = PushbackState.simWindow;
    PushbackState.simWindow = nullptr;  // no key can reach the simulator
    Tick();
    EXPECT_EQ(PHASE_TURNING, PushbackState.autoPhase) << "the roll-out began while the pushback still turned";
    PushbackState.simWindow = simulator;
    SimSnapshot.latitude = 0.2002;
    Tick();
    EXPECT_EQ(PHASE_ROLL_OUT, PushbackState.autoPhase);
    EXPECT_EQ(0.2002, PushbackState.refLatitude) << "the roll-out is measured from where the turn really ended";
    EXPECT_EQ(kRestartKeys, KeysAfter(7));
}

TEST_F(Sequencer, TargetOf360IsMetFromBothSidesOfNorth) {
    for (double heading : {359.5, 0.5, 0.0}) {
        AutomaticAt(PHASE_TURNING, 0.2, heading);
        PushbackState.targetHeading = 360.0;
        Tick();
        EXPECT_EQ(PHASE_ROLL_OUT, PushbackState.autoPhase) << "heading " << heading;
        KeysAfter(7);
    }
    AutomaticAt(PHASE_TURNING, 0.2, 358.9);
    PushbackState.targetHeading = 360.0;
    Tick();
    EXPECT_EQ(PHASE_TURNING, PushbackState.autoPhase);
}

TEST_F(Sequencer, RollOutStopsOnlyBeyondFiveMetres) {
    AutomaticAt(PHASE_ROLL_OUT, 0.2, 0.0);
    double notBeyond, beyond;
    StraddleDistance(5.0, &notBeyond, &beyond);
    SimSnapshot.latitude = notBeyond;
    Tick();
    EXPECT_EQ(SEQUENCE_PUSHBACK, PushbackState.sequenceStep);
    EXPECT_EQ("", KeysAfter(0));
    SimSnapshot.latitude = beyond;
    Tick();
    EXPECT_EQ("Distance = 5", LastText());
    EXPECT_EQ(SEQUENCE_STOPPED_CUE, PushbackState.sequenceStep);
    EXPECT_EQ(PHASE_PUSH_OUT, PushbackState.autoPhase);
    EXPECT_EQ(1, PushbackState.pushActive);
    EXPECT_EQ(kToggleKeys, KeysAfter(5));
}

TEST_F(Sequencer, PushbackEndedByTheUserOrTheSimulatorLeavesThePushbackStep) {
    const struct {
        const char *how;
        void (*end)();
        int step;
    } cases[] = {
        {"the user's Shift+P", [] { PushbackState.pushActive = 0; }, SEQUENCE_STOPPED_CUE},
        {"the simulator by itself", [] { SimReportsPushback(false); }, SEQUENCE_STOPPED_CUE},
        // Its report may be from before the add-on's own last Shift+P.
        {"a report before the last toggle was answered",
         [] {
             SimReportsPushback(false);
             NotePushbackToggle();
         },
         SEQUENCE_PUSHBACK},
    };
    for (const auto &c : cases) {
        AutomaticAt(PHASE_TURNING, 0.2, 10.0);
        PushbackState.targetHeading = 100.0;
        c.end();
        Tick();
        EXPECT_EQ(c.step, PushbackState.sequenceStep) << c.how;
        EXPECT_EQ("", KeysAfter(0)) << c.how << ": a pushback was started again";
        KillTimer(nullptr, PushbackState.sequenceTimer);
    }
}

TEST_F(Sequencer, ACueHoldsTheChecklistButNeverTheAutomaticPushback) {
    // Heading at the target: a tick that runs ends the turn.
    AutomaticAt(PHASE_TURNING, 0.2, 10.0);
    PushbackState.targetHeading = 10.0;
    PushbackState.soundOn = 1;
    PushbackState.soundBusy = 1;
    Tick();
    EXPECT_EQ(PHASE_ROLL_OUT, PushbackState.autoPhase) << "the cue held the turn past its target";
    EXPECT_EQ(kRestartKeys, KeysAfter(7));

    PushbackState.sequenceStep = SEQUENCE_STOPPED_CUE;  // the closing cue waits for the one playing
    Tick();
    EXPECT_EQ(SEQUENCE_STOPPED_CUE, PushbackState.sequenceStep);

    // Nor does a cue hold a STOP that waits for the simulator's answer.
    PushbackState.sequenceStep = SEQUENCE_END;
    PushbackState.stopRequested = 1;
    SimReportsPushback(false);
    Tick();
    EXPECT_EQ(SEQUENCE_IDLE, PushbackState.sequenceStep) << "the cue held the STOP's end";

    // Nor the taxiway run's own timer: an engine cue of EngFlag=2 plays for
    // seconds while it pushes out, here 637 m past a 5 m turn point.
    TaxiwayAt(PHASE_PUSH_OUT, 0.2001, 10.0, '1', 90.0);
    PushbackState.taxiwayPushMetres = 5.0;
    PushbackState.soundOn = 1;
    TaxiwaySample(10.0);
    EXPECT_EQ(std::string(kRestartKeys) + " +1 -1", KeysAfter(9)) << "the cue held the taxiway run past its turn";
    PushbackState.soundBusy = 0;
}

// The taxiway run ends its turn at the first sample at or within a quarter
// of a degree of the plan's turn, counted as the heading's rotation since the
// plan, so one past it by any amount ends it too rather than reading as a
// turn of nearly a full circle still to go.
TEST_F(Sequencer, ATaxiwayTurnEndsAtTheFirstSampleAtOrPastItsTurn) {
    const double nan = __builtin_nan("");
    const struct {
        const char *what;
        double from;
        char key;
        double turn;
        std::vector<double> samples;  // the last one ends the turn
    } cases[] = {
        {"a left turn's heading set 25 degrees past its end", 0.0, '1', 60.0, {10.0, 30.0, 85.0}},
        {"a right turn's heading set 25 degrees past its end", 100.0, '2', 90.0, {80.0, 40.0, 345.0}},
        {"a left turn across north, 0.3 short and 0.2 short", 350.0, '1', 30.0, {355.0, 5.0, 19.7, 19.8}},
        {"a sample with no heading counts nothing", 0.0, '1', 60.0, {nan, 30.0, 59.8}},
    };
    for (const auto &c : cases) {
        TaxiwayAt(PHASE_TURNING, 0.2, c.from, c.key, c.turn);
        for (size_t i = 0; i < c.samples.size(); ++i) {
            TaxiwaySample(c.samples[i]);
            const bool last = i + 1 == c.samples.size();
            EXPECT_EQ(last ? PHASE_ROLL_OUT : PHASE_TURNING, PushbackState.autoPhase) << c.what << ", sample " << i;
        }
        EXPECT_EQ(kRestartKeys, KeysAfter(7)) << c.what;
        KillTimer(nullptr, PushbackState.sequenceTimer);
    }
}

TEST_F(Sequencer, APushbackThePilotEndedBeforeTheStartStepIsNotStartedAgain) {
    // Shift+P twice during a manual run's checklist: started, then ended.
    BeginRun(RUN_MANUAL, SEQUENCE_START_PUSHBACK);
    PushbackState.pushMode = PUSH_NONE;
    PushbackState.pushActive = 0;
    Tick();
    Tick();
    EXPECT_EQ("", KeysAfter(0)) << "a pushback nobody follows was started";
    EXPECT_EQ(SEQUENCE_STOPPED_CUE, PushbackState.sequenceStep);
}

TEST_F(Sequencer, SoundCueHoldsTheNextTick) {
    BeginRun(RUN_MANUAL, SEQUENCE_OPENING_CUE);
    PushbackState.soundOn = 1;
    PushbackState.soundBusy = 1;
    Tick();
    EXPECT_EQ(SEQUENCE_OPENING_CUE, PushbackState.sequenceStep);
    PushbackState.soundBusy = 0;
    Tick();
    EXPECT_EQ(SEQUENCE_BRAKE_SET_PROMPT, PushbackState.sequenceStep);
    EXPECT_STREQ("Sound0", PushbackState.soundSection);

    PumpUntil([] { return PushbackState.soundBusy == 0; });
    PushbackState.soundOn = 0;
    PushbackState.soundBusy = 1;  // a busy flag means nothing with cues off
    Tick();
    EXPECT_EQ(SEQUENCE_BRAKE_SET_WAIT, PushbackState.sequenceStep);
    PushbackState.soundBusy = 0;
}

TEST_F(Sequencer, SetBrakeBeforeThePushbackWaitsForTheBrake) {
    config_.Set("Parking", "Check1", "1");
    config_.Use();
    BeginRun(RUN_MANUAL, SEQUENCE_BRAKE_SET_PROMPT);
    Tick();
    EXPECT_EQ("Set Parking Brake!", LastText());
    for (int tick = 0; tick < 3; ++tick) Tick();
    EXPECT_EQ(SEQUENCE_BRAKE_SET_WAIT, PushbackState.sequenceStep);
    SimSnapshot.parkingBrake = 1.0;
    Tick();
    EXPECT_EQ(SEQUENCE_ENGINES_BEFORE, PushbackState.sequenceStep);

    fake_simconnect::Reset();
    PushbackState.sequenceStep = SEQUENCE_BRAKE_SET_PROMPT;
    Tick();
    Tick();
    EXPECT_EQ(SEQUENCE_ENGINES_BEFORE, PushbackState.sequenceStep) << "a brake already set passes at once";
    EXPECT_TRUE(fake_simconnect::Texts().empty());
}

TEST_F(Sequencer, ReleaseBeforeThePushbackPassesWhenAlreadyReleased) {
    config_.Set("Parking", "Check2", "1");
    BeginRun(RUN_MANUAL, SEQUENCE_BRAKE_RELEASE_PROMPT);
    Tick();
    Tick();
    EXPECT_EQ(SEQUENCE_START_PUSHBACK, PushbackState.sequenceStep);
    EXPECT_TRUE(fake_simconnect::Texts().empty());
}

TEST_F(Sequencer, EngineCheckBeforeThePushbackHoldsStepThree) {
    BeginRun(RUN_MANUAL, SEQUENCE_ENGINES_BEFORE);
    PushbackState.engineCheckMode = 1;
    PushbackState.engineCount = 1;
    Tick();
    Tick();
    EXPECT_EQ(SEQUENCE_ENGINES_BEFORE, PushbackState.sequenceStep);
    EXPECT_EQ("Start Engine No.  1", LastText());
    SimSnapshot.combustion1 = 1.0;
    Tick();
    EXPECT_EQ(SEQUENCE_RELEASE_CUE, PushbackState.sequenceStep);
}

TEST_F(Sequencer, BrakeReleasedDuringTheClosingEngineCheckHoldsIt) {
    config_.Set("Parking", "Check3", "1");
    BeginRun(RUN_AUTO, SEQUENCE_BRAKE_AFTER_WAIT);
    PushbackState.engineCheckMode = 3;
    PushbackState.engineCount = 1;
    SimSnapshot.parkingBrake = 1.0;
    Tick();
    EXPECT_EQ("Start Engine No.  1", LastText());
    SimSnapshot.parkingBrake = 0.0;
    SimSnapshot.combustion1 = 1.0;
    const size_t shown = fake_simconnect::Texts().size();
    Tick();
    EXPECT_EQ(SEQUENCE_BRAKE_AFTER_WAIT, PushbackState.sequenceStep);
    EXPECT_EQ(shown, fake_simconnect::Texts().size());
    SimSnapshot.parkingBrake = 1.0;
    Tick();
    EXPECT_EQ(SEQUENCE_CLOSING_CUE, PushbackState.sequenceStep);
}

TEST_F(Sequencer, EngineCheckDuringThePushbackNeverMovesTheStep) {
    BeginRun(RUN_MANUAL, SEQUENCE_PUSHBACK);
    PushbackState.engineCheckMode = 2;
    PushbackState.engineCount = 1;
    Tick();
    EXPECT_EQ("Start Engine No.  1", LastText());
    SimSnapshot.combustion1 = 1.0;
    for (int tick = 0; tick < 3; ++tick) Tick();
    EXPECT_EQ(SEQUENCE_PUSHBACK, PushbackState.sequenceStep);
}

}  // namespace
