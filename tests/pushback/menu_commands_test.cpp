#include <gtest/gtest.h>
#include <math.h>

#include "core/identifiers.h"
#include "core/state.h"
#include "fake_simconnect.h"
#include "pushback/ground_distance.h"
#include "pushback/menu_commands.h"
#include "test_config.h"

namespace {

class MenuCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAddonState();
        fake_simconnect::Reset();
        PushbackState.simConnect = fake_simconnect::Connection();
        config_.Use();
        lstrcpynA(PushbackState.aircraftKey, "Liner", sizeof PushbackState.aircraftKey);
        SimSnapshot.onGround = 1.0;
        SimSnapshot.numberOfEngines = 2.0;
    }
    void TearDown() override {
        if (PushbackState.sequenceTimer) KillTimer(nullptr, PushbackState.sequenceTimer);
    }
    static void Pick(DWORD id) {
        SIMCONNECT_RECV_EVENT event = {};
        event.dwID = SIMCONNECT_RECV_ID_EVENT;
        event.uEventID = id;
        OnSimEvent(&event);
    }
    double TargetAfter(DWORD command, double headingDegrees) {
        SimSnapshot.heading = RadiansFor(headingDegrees);
        PushbackState.pushMode = PUSH_NONE;
        if (PushbackState.sequenceTimer) KillTimer(nullptr, PushbackState.sequenceTimer);
        PushbackState.sequenceTimer = 0;
        Pick(command);
        return PushbackState.targetHeading;
    }
    int PushDistanceWithCorrection(const char *correction) {
        config_.Set("PLANE_CORRECT", "Liner", correction);
        PushbackState.pushMode = PUSH_NONE;
        Pick(MENU_PUSHBACK);
        return PushbackState.pushDistance;
    }
    TestConfig config_;
};

TEST_F(MenuCommands, ANewFlightTakesThePushbackTheSimulatorReports) {
    // The pilot's own pushback of the last flight: the add-on followed it.
    const struct {
        double reported;
        int pushMode;
    } cases[] = {{3.0, PUSH_NONE}, {0.0, PUSH_STRAIGHT}};
    for (const auto &c : cases) {
        PushbackState.pushMode = PUSH_STRAIGHT;
        PushbackState.pushActive = 1;
        SimSnapshot.pushbackState = c.reported;
        Pick(EVENT_SIM_START);
        EXPECT_EQ(c.pushMode, PushbackState.pushMode) << "PUSHBACK STATE " << c.reported;
    }
    // With none, the pilot's next pick starts a run instead of being refused.
    SimSnapshot.pushbackState = 3.0;
    Pick(EVENT_SIM_START);
    Pick(MENU_AUTO_LEFT);
    EXPECT_NE(0u, PushbackState.sequenceTimer) << "Auto Left was refused after the new flight";
}

TEST_F(MenuCommands, AutoLeftAddsTheTurnAngleAndWrapsOnlyPast360) {
    EXPECT_DOUBLE_EQ(80.0, TargetAfter(MENU_AUTO_LEFT, 350.0));
    EXPECT_EQ('1', PushbackState.turnKey);
    EXPECT_EQ(360.0, TargetAfter(MENU_AUTO_LEFT, 270.0)) << "a target of exactly 360 stays 360";
}

TEST_F(MenuCommands, AutoRightSubtractsTheTurnAngleAndZeroBecomes360) {
    EXPECT_DOUBLE_EQ(300.0, TargetAfter(MENU_AUTO_RIGHT, 30.0));
    EXPECT_EQ('2', PushbackState.turnKey);
    EXPECT_EQ(360.0, TargetAfter(MENU_AUTO_RIGHT, 90.0));
}

TEST_F(MenuCommands, StartSetsUpTheRunAndItsTimer) {
    config_.Set("Data", "Head", "45");
    SimSnapshot.latitude = 0.5;
    SimSnapshot.longitude = -0.25;
    Pick(MENU_AUTO_LEFT);
    EXPECT_EQ(PUSH_STRAIGHT, PushbackState.pushMode) << "the direction lives in turnKey until the turn";
    EXPECT_EQ(RUN_AUTO, PushbackState.runKind);
    EXPECT_EQ(SEQUENCE_OPENING_CUE, PushbackState.sequenceStep);
    EXPECT_EQ(1, PushbackState.pushActive);
    EXPECT_EQ(45, PushbackState.turnAngle);
    EXPECT_EQ(50, PushbackState.pushDistance) << "default Distance";
    EXPECT_EQ(2, PushbackState.engineCount);
    EXPECT_EQ(1, PushbackState.engineIndex);
    EXPECT_EQ(0.5, PushbackState.refLatitude);
    EXPECT_EQ(-0.25, PushbackState.refLongitude);
    EXPECT_NE(0u, PushbackState.sequenceTimer);
    ASSERT_EQ(1u, fake_simconnect::Texts().size());
    EXPECT_EQ("Request Pushback ! Your aircraft is Liner", fake_simconnect::Texts()[0]);
    EXPECT_EQ(256u, fake_simconnect::CallsOf("SimConnect_Text")[0].size);
}

TEST_F(MenuCommands, CorrectionIsRoundedHalfUpAndTakenOffTheDistance) {
    EXPECT_EQ(37, PushDistanceWithCorrection("12.5"));
    EXPECT_EQ(52, PushDistanceWithCorrection("-2.5"));
    EXPECT_EQ(50, PushDistanceWithCorrection("not a number"));
    EXPECT_EQ(50, PushDistanceWithCorrection(""));
    EXPECT_EQ(-10, PushDistanceWithCorrection("60"));
    EXPECT_EQ(47, PushDistanceWithCorrection("  3.4999"));
    EXPECT_EQ(50, PushDistanceWithCorrection("-1e308")) << "a wild correction would push for ever";
    config_.Set("Data", "Distance", "99999999999");
    EXPECT_EQ(50, PushDistanceWithCorrection("0")) << "a wild Distance reads as the default";
}

TEST_F(MenuCommands, NoStartOffTheGround) {
    SimSnapshot.onGround = 0.0;
    Pick(MENU_PUSHBACK);
    EXPECT_EQ(PUSH_NONE, PushbackState.pushMode);
    EXPECT_EQ(RUN_MANUAL, PushbackState.runKind);
    EXPECT_EQ(0u, PushbackState.sequenceTimer);
    EXPECT_EQ(SEQUENCE_IDLE, PushbackState.sequenceStep);
    ASSERT_EQ(1u, fake_simconnect::Texts().size());
    EXPECT_EQ("Check On Ground ! Your aircarft is Liner", fake_simconnect::Texts()[0]);
}

TEST_F(MenuCommands, LongAircraftKeyIsCutToTheMessageBuffer) {
    memset(PushbackState.aircraftKey, 'K', sizeof PushbackState.aircraftKey - 1);
    PushbackState.aircraftKey[sizeof PushbackState.aircraftKey - 1] = '\0';
    Pick(MENU_PUSHBACK);
    ASSERT_EQ(1u, fake_simconnect::Texts().size());
    EXPECT_EQ(255u, fake_simconnect::Texts()[0].size());
    EXPECT_EQ(0u, fake_simconnect::Texts()[0].find("Request Pushback ! Your aircraft is KKK"));
}

TEST_F(MenuCommands, StartingCommandsNeedNoPushbackInProgress) {
    PushbackState.pushMode = PUSH_LEFT;
    PushbackState.pushActive = 0;
    for (DWORD id : {MENU_PUSHBACK, MENU_AUTO_LEFT, MENU_AUTO_RIGHT, MENU_CORRECT, MENU_SETTING, MENU_STOP})
        Pick(id);
    EXPECT_TRUE(fake_simconnect::Calls().empty()) << fake_simconnect::Calls()[0].function;
    EXPECT_EQ(PUSH_LEFT, PushbackState.pushMode);
    EXPECT_EQ(0u, PushbackState.sequenceTimer);
    EXPECT_EQ(0u, PushbackState.measureTimer);
}

TEST_F(MenuCommands, TurnCommandsNeedAPushback) {
    Pick(MENU_TURN_LEFT);
    Pick(MENU_TURN_RIGHT);
    Pick(MENU_STOP);
    EXPECT_EQ(PUSH_NONE, PushbackState.pushMode);
    EXPECT_TRUE(fake_simconnect::Calls().empty());
}

TEST_F(MenuCommands, AStartWhileTheLastRunStillTicksLeavesOneTimer) {
    // The user's own Shift+P ended the last pushback; its closing steps run.
    Pick(MENU_PUSHBACK);
    const UINT_PTR first = PushbackState.sequenceTimer;
    PushbackState.pushMode = PUSH_NONE;
    PushbackState.pushActive = 0;
    PushbackState.sequenceStep = SEQUENCE_BRAKE_AFTER_PROMPT;
    Pick(MENU_PUSHBACK);
    // The new run's timer may carry the first one's id again once that was
    // killed. With the new one killed here, the first id answers only if the
    // earlier run's timer was left running beside it.
    const UINT_PTR second = PushbackState.sequenceTimer;
    ASSERT_NE(0u, second);
    ASSERT_TRUE(KillTimer(nullptr, second)) << "the new run has no timer";
    PushbackState.sequenceTimer = 0;
    EXPECT_FALSE(KillTimer(nullptr, first)) << "the earlier run's timer still runs";
}

}  // namespace
