#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "core/identifiers.h"
#include "pushback/measurement.h"
#include "pushback/menu_commands.h"
#include "pushback/sequencer.h"
#include "run_fixture.h"
#include "temp_files.h"

namespace {

void Pick(DWORD id) {
    SIMCONNECT_RECV_EVENT event = {};
    event.dwID = SIMCONNECT_RECV_ID_EVENT;
    event.uEventID = id;
    OnSimEvent(&event);
}

using Stop = RunFixture;

TEST_F(Stop, ManualRunEndsAtOnceAndStopsThePushback) {
    BeginRun(RUN_MANUAL, SEQUENCE_PUSHBACK);
    const UINT_PTR timer = PushbackState.sequenceTimer;
    Pick(MENU_STOP);
    EXPECT_EQ(kToggleKeys, KeysAfter(5));
    EXPECT_EQ(SEQUENCE_IDLE, PushbackState.sequenceStep);
    EXPECT_EQ(PUSH_NONE, PushbackState.pushMode);
    EXPECT_EQ(0, PushbackState.pushActive);
    EXPECT_EQ(0u, PushbackState.sequenceTimer);
    EXPECT_FALSE(KillTimer(nullptr, timer)) << "STOP left the sequencer timer running";
}

TEST_F(Stop, BeforeTheStartStepOnlyEndsTheRun) {
    BeginRun(RUN_MANUAL, SEQUENCE_ENGINES_BEFORE);
    Pick(MENU_STOP);
    EXPECT_EQ("", KeysAfter(0)) << "a toggle here would start a pushback nobody steers";
    EXPECT_EQ(SEQUENCE_IDLE, PushbackState.sequenceStep);
    EXPECT_EQ(0u, PushbackState.sequenceTimer);

    BeginRun(RUN_AUTO, SEQUENCE_START_PUSHBACK);
    Pick(MENU_STOP);
    EXPECT_EQ("", KeysAfter(0));
    EXPECT_EQ(SEQUENCE_END, PushbackState.sequenceStep);
}

TEST_F(Stop, AutomaticRunStopsThePushbackAndEndsThroughStep13) {
    BeginRun(RUN_AUTO, SEQUENCE_PUSHBACK);
    PushbackState.autoPhase = PHASE_TURNING;
    Pick(MENU_STOP);
    EXPECT_EQ(kToggleKeys, KeysAfter(5));
    EXPECT_EQ(SEQUENCE_END, PushbackState.sequenceStep);
    EXPECT_EQ(PHASE_PUSH_OUT, PushbackState.autoPhase);
    SequencerTick(nullptr, WM_TIMER, 0, 0);
    EXPECT_EQ(SEQUENCE_END, PushbackState.sequenceStep) << "the run ended before the simulator answered the stop key";
    EXPECT_EQ("", KeysAfter(0)) << "a second toggle before the answer would start the pushback again";
    SimReportsPushback(false);
    SequencerTick(nullptr, WM_TIMER, 0, 0);
    EXPECT_EQ(SEQUENCE_IDLE, PushbackState.sequenceStep);
    EXPECT_EQ(PUSH_NONE, PushbackState.pushMode);
    EXPECT_EQ(RUN_MANUAL, PushbackState.runKind);
    EXPECT_TRUE(fake_simconnect::Texts().empty()) << "the closing checklist is skipped";
}

TEST_F(Stop, AfterTheRollOutOnlyEndsTheRun) {
    BeginRun(RUN_AUTO, SEQUENCE_BRAKE_AFTER_PROMPT);
    Pick(MENU_STOP);
    EXPECT_EQ("", KeysAfter(0)) << "the roll-out already stopped the pushback";
    EXPECT_EQ(SEQUENCE_END, PushbackState.sequenceStep);
}

TEST_F(Stop, EndsTheUsersOwnPushback) {
    PushbackState.pushMode = PUSH_STRAIGHT;
    PushbackState.pushActive = 1;
    SimReportsPushback(true);
    Pick(MENU_STOP);
    EXPECT_EQ(kToggleKeys, KeysAfter(5));
    EXPECT_EQ(PUSH_NONE, PushbackState.pushMode);
    Pick(MENU_STOP);
    EXPECT_EQ("", KeysAfter(0));
}

TEST_F(Stop, OnlyTheRunsOwnTurnCommandActsInAnAutomaticRun) {
    BeginRun(RUN_AUTO, SEQUENCE_PUSHBACK);  // a left run: its turn key is 1
    Pick(MENU_TURN_RIGHT);
    EXPECT_EQ(PUSH_STRAIGHT, PushbackState.pushMode) << "the other turn would take the tail the wrong way round";
    EXPECT_EQ("", KeysAfter(0));
    Pick(MENU_TURN_LEFT);
    EXPECT_EQ(PUSH_LEFT, PushbackState.pushMode);
    EXPECT_EQ("+1 -1", KeysAfter(2));
}

class Measurement : public RunFixture {
protected:
    static void Sample(double headingDegrees, double latitude) {
        SimSnapshot.heading = RadiansFor(headingDegrees);
        SimSnapshot.latitude = latitude;
        MeasureTimerProc(nullptr, WM_TIMER, 0, 0);
    }
};

TEST_F(Measurement, OffTheGroundNothingStarts) {
    SimSnapshot.onGround = 0.0;
    Pick(MENU_CORRECT);
    EXPECT_EQ(std::vector<std::string>{"Check On Ground ! "}, fake_simconnect::Texts());
    EXPECT_EQ(0u, PushbackState.measureTimer);
    EXPECT_EQ("", KeysAfter(0));
}

TEST_F(Measurement, StartsThePushbackWithTheTurnKeyOnce) {
    SimSnapshot.latitude = 0.4;
    SimSnapshot.heading = RadiansFor(180.0);
    Pick(MENU_CORRECT);
    EXPECT_EQ(std::string(kToggleKeys) + " +1 -1", KeysAfter(7));
    EXPECT_NE(0u, PushbackState.measureTimer);
    EXPECT_EQ(0.4, PushbackState.refLatitude);
    EXPECT_EQ(180.0, PushbackState.targetHeading);
    EXPECT_EQ(PUSH_NONE, PushbackState.pushMode);
    Pick(MENU_CORRECT);
    const std::vector<std::string> expected = {"Liner", "Now measuring ! "};
    EXPECT_EQ(expected, fake_simconnect::Texts());
    EXPECT_EQ("", KeysAfter(0)) << "the second pick must not disturb the first";
}

TEST_F(Measurement, StoresTheDistanceOfTheFirstSampleOneDegreeOff) {
    SimSnapshot.heading = RadiansFor(359.5);
    Pick(MENU_CORRECT);
    KeysAfter(7);
    SimReportsPushback(true);  // the hook saw the Shift+P arrive
    Sample(0.3, 0.00001);  // 0.8 degrees away across north
    EXPECT_EQ(RUN_MEASURING, PushbackState.runKind);
    EXPECT_NE(0u, PushbackState.measureTimer);
    // 1.1 degrees off: exactly 1.0 would hang on the last bit of the two
    // conversions, which x87 and SSE arithmetic round differently.
    char expected[64];
    snprintf(expected, sizeof expected, "%f", GroundDistance(0.0000015, 0.0));
    Sample(358.4, 0.0000015);
    EXPECT_EQ(expected, config_.Get("PLANE_CORRECT", "Liner")) << "the correction is stored at once";
    EXPECT_EQ(std::string("Request mesurement ! Your aircraft is Liner Distance = ") + expected, LastText());
    EXPECT_NE(0u, PushbackState.measureTimer) << "the turn goes on for the radius";
    EXPECT_EQ("", KeysAfter(0));

    // From 358.4 to 344.0 the arc of a 34 m turn has a chord of 2 x 34 x
    // sin(7.2 deg); one radian of latitude is 6366707 m on the 1852 m-minute sphere.
    const double chord = 2.0 * 34.0 * sin(7.2 * acos(-1.0) / 180.0);
    Sample(344.6, 0.0000015 + chord / 6366707.0);
    EXPECT_NE(0u, PushbackState.measureTimer) << "14.9 degrees is not yet 15";
    Sample(344.0, 0.0000015 + chord / 6366707.0);
    EXPECT_EQ(0u, PushbackState.measureTimer);
    EXPECT_EQ(RUN_MANUAL, PushbackState.runKind);
    EXPECT_NEAR(34.0, atof(config_.Get("PLANE_RADIUS", "Liner").c_str()), 0.01);
    EXPECT_EQ(expected, config_.Get("PLANE_CORRECT", "Liner")) << "the radius left the correction alone";
    EXPECT_EQ(kToggleKeys, KeysAfter(5));
}

TEST_F(Measurement, StopBeforeFifteenDegreesKeepsTheCorrectionAlone) {
    SimSnapshot.heading = RadiansFor(10.0);
    Pick(MENU_CORRECT);
    KeysAfter(7);
    SimReportsPushback(true);
    Sample(12.0, 0.000001);
    Pick(MENU_STOP);
    EXPECT_EQ(kToggleKeys, KeysAfter(5));
    EXPECT_EQ(0u, PushbackState.measureTimer);
    EXPECT_NE("", config_.Get("PLANE_CORRECT", "Liner"));
    EXPECT_EQ("<missing>", config_.Get("PLANE_RADIUS", "Liner"));
}

// "Correct Value" says what it measured and why it keeps it not: a value out
// of its range, or a Drovana.cfg that refuses the write (here a folder in its
// place), before the correction or after it, before the radius.
TEST_F(Measurement, AValueNotKeptIsSaidWithWhatWasMeasuredAndWhy) {
    const TempFolder folder;
    const std::string unwritable = folder.File("Drovana.cfg");
    CreateDirectoryA(unwritable.c_str(), nullptr);
    enum { WRITABLE, REFUSED_AT_ONCE, REFUSED_AFTER_CORRECTION };
    const struct {
        const char *stored;  // the radius stored before, if any
        double radius;       // the turn the samples make
        int file;
        const char *says;
    } cases[] = {
        {nullptr, 250.0, WRITABLE,
         "Correct Value: the turn radius 250.0 m is outside 3 to 200 m and not kept; Liner has none"},
        {"34.000000", 2.0, WRITABLE,
         "Correct Value: the turn radius 2.0 m is outside 3 to 200 m and not kept; Liner keeps 34.0 m"},
        {"34.000000", 30.0, REFUSED_AFTER_CORRECTION,
         "Correct Value: Drovana.cfg could not be written, the turn radius 30.0 m for Liner is not saved"},
        {"34.000000", 30.0, REFUSED_AT_ONCE,
         "Correct Value: Drovana.cfg could not be written, the correction 6.4 m for Liner is not saved"},
    };
    for (const auto &c : cases) {
        config_.Set("PLANE_RADIUS", "Liner", c.stored);
        config_.Use();
        if (c.file == REFUSED_AT_ONCE) lstrcpynA(PushbackState.configPath, unwritable.c_str(), TEXT_SIZE);
        fake_simconnect::Reset();
        SimSnapshot.heading = RadiansFor(10.0);
        SimSnapshot.latitude = 0.0;
        Pick(MENU_CORRECT);
        KeysAfter(7);
        SimReportsPushback(true);
        Sample(12.0, 0.000001);  // 6.4 m, the correction
        if (c.file == REFUSED_AFTER_CORRECTION) lstrcpynA(PushbackState.configPath, unwritable.c_str(), TEXT_SIZE);
        // 15 degrees of a turn of that radius: its chord, in radians of latitude.
        const double chord = 2.0 * c.radius * sin(7.5 * acos(-1.0) / 180.0);
        if (c.file != REFUSED_AT_ONCE) Sample(27.0, 0.000001 + chord / 6366707.0);
        EXPECT_EQ(c.says, LastText());
        EXPECT_EQ(0u, PushbackState.measureTimer) << c.says;
        EXPECT_EQ(kToggleKeys, KeysAfter(5)) << "the measurement's pushback was not stopped";
        EXPECT_EQ(c.stored ? c.stored : "<missing>", config_.Get("PLANE_RADIUS", "Liner")) << c.says;
    }
}

TEST_F(Measurement, StopEndsItStoresNothingAndStopsThePushback) {
    config_.Set("PLANE_CORRECT", "Liner", "3.000000");
    Pick(MENU_CORRECT);
    KeysAfter(7);
    SimReportsPushback(true);  // the hook saw the Shift+P arrive
    Pick(MENU_STOP);
    EXPECT_EQ(0u, PushbackState.measureTimer) << "STOP left the measurement running";
    EXPECT_EQ(RUN_MANUAL, PushbackState.runKind);
    EXPECT_EQ(kToggleKeys, KeysAfter(5)) << "the measurement's pushback was not stopped";
    EXPECT_EQ("3.000000", config_.Get("PLANE_CORRECT", "Liner"));
    Pick(MENU_PUSHBACK);
    EXPECT_EQ(SEQUENCE_OPENING_CUE, PushbackState.sequenceStep) << "a start after the stopped measurement was refused";
}

TEST_F(Measurement, AStopThatCannotBeSentNowIsSentAtALaterTick) {
    SimSnapshot.heading = RadiansFor(10.0);
    Pick(MENU_CORRECT);
    KeysAfter(7);
    SimReportsPushback(true);
    Sample(12.0, 0.000001);
    EXPECT_NE("", config_.Get("PLANE_CORRECT", "Liner")) << "the value is stored once, at once";
    PushbackState.simWindow = nullptr;  // another program in front: no key can go
    Sample(26.0, 0.000003);
    EXPECT_NE(0u, PushbackState.measureTimer) << "the measurement ended with its aircraft still turning";
    EXPECT_NE("", config_.Get("PLANE_RADIUS", "Liner")) << "the radius is stored once, at once";
    PushbackState.simWindow = window_.handle();
    Sample(28.0, 0.000004);
    EXPECT_EQ(kToggleKeys, KeysAfter(5));
    EXPECT_EQ(0u, PushbackState.measureTimer);
    EXPECT_EQ(RUN_MANUAL, PushbackState.runKind);
}

TEST_F(Measurement, AnAircraftLoadedUnderItStoresNothing) {
    config_.Set("PLANE_CORRECT", "Liner", "3.000000");
    SimSnapshot.heading = RadiansFor(10.0);
    Pick(MENU_CORRECT);
    KeysAfter(7);
    SimReportsPushback(true);
    NoteAircraftLoaded();  // the key is renewed only at the next SimStart
    Sample(12.0, 0.000001);
    EXPECT_EQ(0u, PushbackState.measureTimer);
    EXPECT_EQ("3.000000", config_.Get("PLANE_CORRECT", "Liner"));
    EXPECT_EQ(kToggleKeys, KeysAfter(5));
}

// QUIT: whatever runs ends, its pushback stopped and its timer gone.
TEST_F(Measurement, QuitEndsRunsAndMeasurements) {
    struct Case {
        const char *what;
        int runKind;  // -1: a measurement
        int step;
    } cases[] = {{"automatic run pushing", RUN_AUTO, 8}, {"automatic run at its checklist", RUN_AUTO, 2},
                 {"manual run pushing", RUN_MANUAL, 8}, {"measurement", -1, 0}};
    for (const Case &c : cases) {
        if (c.runKind < 0) {
            Pick(MENU_CORRECT);
            KeysAfter(7);
            SimReportsPushback(true);
        } else {
            BeginRun(c.runKind, c.step);
        }
        OnSimulatorQuit();
        const bool pushing = c.step == 8 || c.runKind < 0;
        EXPECT_EQ(pushing ? kToggleKeys : "", KeysAfter(pushing ? 5 : 0)) << c.what;
        SimReportsPushback(false);
        SequencerTick(nullptr, WM_TIMER, 0, 0);
        EXPECT_EQ(0u, PushbackState.sequenceTimer) << c.what;
        EXPECT_EQ(0u, PushbackState.measureTimer) << c.what;
        EXPECT_EQ(PUSH_NONE, PushbackState.pushMode) << c.what;
    }
}

TEST_F(Measurement, LongAircraftKeyIsCutToTheMessageBuffer) {
    memset(PushbackState.aircraftKey, 'K', sizeof PushbackState.aircraftKey - 1);
    SimSnapshot.heading = RadiansFor(10.0);
    PushbackState.targetHeading = 10.0;
    SimReportsPushback(true);
    MeasureTimerProc(nullptr, WM_TIMER, 0, 0);
    EXPECT_EQ(255u, LastText().size());
    EXPECT_EQ(256u, fake_simconnect::CallsOf("SimConnect_Text").back().size);
}

}  // namespace
