#include <gtest/gtest.h>

#include "core/state.h"
#include "fake_simconnect.h"
#include "pushback/prompts.h"
#include "sim_window.h"

namespace {

class Prompts : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAddonState();
        fake_simconnect::Reset();
        PushbackState.simConnect = fake_simconnect::Connection();
        PushbackState.engineIndex = 1;
    }
    void TearDown() override { WaitForSound(); }
    static bool WaitForSound() {
        return PumpUntil([] { return PushbackState.soundBusy == 0; });
    }
    static std::vector<std::string> Texts() { return fake_simconnect::Texts(); }
    static std::string LastText() {
        const std::vector<std::string> texts = Texts();
        return texts.empty() ? std::string() : texts.back();
    }
};

TEST_F(Prompts, SingleEngineAlreadyRunningCompletesWithoutPrompt) {
    PushbackState.engineCount = 1;
    PushbackState.sequenceStep = SEQUENCE_ENGINES_BEFORE;
    SimSnapshot.combustion1 = 1.0;
    EnginePrompt(1);
    EXPECT_EQ(SEQUENCE_RELEASE_CUE, PushbackState.sequenceStep);
    EXPECT_TRUE(Texts().empty());
}

TEST_F(Prompts, FourEnginesArePromptedInOrder) {
    PushbackState.engineCount = 4;
    PushbackState.sequenceStep = SEQUENCE_ENGINES_BEFORE;
    double *combustion[] = {&SimSnapshot.combustion1, &SimSnapshot.combustion2, &SimSnapshot.combustion3,
                            &SimSnapshot.combustion4};
    for (int engine = 1; engine <= 4; ++engine) {
        EnginePrompt(1);
        EnginePrompt(1);
        EXPECT_EQ("Start Engine No.  " + std::to_string(engine), LastText());
        EXPECT_EQ(engine, PushbackState.engineIndex);
        *combustion[engine - 1] = 1.0;
        if (engine < 4) {
            EnginePrompt(1);
            EXPECT_EQ(engine + 1, PushbackState.engineIndex) << "engine " << engine << " runs";
            EXPECT_EQ(0, PushbackState.engineWaitTicks);
        }
    }
    EXPECT_EQ(SEQUENCE_ENGINES_BEFORE, PushbackState.sequenceStep);
    const size_t shown = Texts().size();
    EnginePrompt(1);
    EXPECT_EQ(SEQUENCE_RELEASE_CUE, PushbackState.sequenceStep) << "engine 4 runs while awaited: complete";
    EXPECT_EQ(shown, Texts().size());
}

TEST_F(Prompts, TwinWithOnlyEngineTwoRunningWaitsForEngineOne) {
    PushbackState.engineCount = 2;
    PushbackState.sequenceStep = SEQUENCE_ENGINES_BEFORE;
    SimSnapshot.combustion2 = 1.0;
    for (int i = 0; i < 3; ++i) EnginePrompt(1);
    EXPECT_EQ(1, PushbackState.engineIndex);
    EXPECT_EQ("Start Engine No.  1", LastText());
    SimSnapshot.combustion1 = 1.0;
    EnginePrompt(1);
    EXPECT_EQ(2, PushbackState.engineIndex);
    EXPECT_EQ(SEQUENCE_ENGINES_BEFORE, PushbackState.sequenceStep);
    EnginePrompt(1);
    EXPECT_EQ(SEQUENCE_RELEASE_CUE, PushbackState.sequenceStep);
}

TEST_F(Prompts, NoEnginesNeverComplete) {
    PushbackState.engineCount = 0;
    PushbackState.sequenceStep = SEQUENCE_ENGINES_BEFORE;
    SimSnapshot.combustion1 = SimSnapshot.combustion2 = 1.0;
    for (int i = 0; i < 20; ++i) EnginePrompt(1);
    EXPECT_EQ(SEQUENCE_ENGINES_BEFORE, PushbackState.sequenceStep);
}

TEST_F(Prompts, EngineCueOnFirstCallAndEveryEleventh) {
    PushbackState.engineCount = 1;
    PushbackState.soundOn = 1;
    int cues = 0;
    for (int call = 0; call < 23; ++call) {
        PushbackState.soundSection[0] = '\0';
        EnginePrompt(0);
        if (PushbackState.soundSection[0] != '\0') {
            EXPECT_STREQ("EngSound0", PushbackState.soundSection);
            EXPECT_EQ(0, call % 11) << "cue at call " << call;
            ++cues;
        }
        ASSERT_TRUE(WaitForSound());
    }
    EXPECT_EQ(3, cues);
}

TEST_F(Prompts, CompletionCueOncePerRunDuringThePushback) {
    PushbackState.engineCount = 1;
    PushbackState.soundOn = 1;
    PushbackState.sequenceStep = SEQUENCE_PUSHBACK;
    SimSnapshot.combustion1 = 1.0;
    EnginePrompt(0);
    EXPECT_STREQ("EngSound4", PushbackState.soundSection);
    ASSERT_TRUE(WaitForSound());
    PushbackState.soundSection[0] = '\0';
    EnginePrompt(0);
    EnginePrompt(0);
    EXPECT_STREQ("", PushbackState.soundSection);
    EXPECT_EQ(SEQUENCE_PUSHBACK, PushbackState.sequenceStep) << "advance 0 never moves the step";
}

TEST_F(Prompts, HalfSetBrakeCountsAsReleased) {
    SimSnapshot.parkingBrake = 0.5;
    EXPECT_EQ(0, WaitForBrake(BRAKE_SET_BEFORE, 0));
    EXPECT_EQ(1, WaitForBrake(BRAKE_RELEASE_BEFORE, 1));
    SimSnapshot.parkingBrake = 1.0;
    EXPECT_EQ(1, WaitForBrake(BRAKE_SET_BEFORE, 0));
}

TEST_F(Prompts, BrakeWaitRemindsEvery101WaitingCalls) {
    for (int call = 1; call <= 202; ++call) {
        ASSERT_EQ(0, WaitForBrake(BRAKE_SET_BEFORE, 0));
        const size_t expected = call / 101;
        ASSERT_EQ(expected, Texts().size()) << "after call " << call;
    }
    EXPECT_EQ("Set Parking Brake!", LastText());
    EXPECT_EQ(0, PushbackState.brakeReminderTicks);
}

TEST_F(Prompts, BrakePromptTextsAndCues) {
    PushbackState.soundOn = 1;
    const struct {
        int kind;
        const char *text;
        const char *cue;
    } kinds[] = {{BRAKE_SET_BEFORE, "Set Parking Brake!", "PBSound0"},
                 {BRAKE_SET_AFTER, "Set Parking Brake!", "PBSound2"},
                 {BRAKE_RELEASE_BEFORE, "Release Parking Brake!", "PBSound1"}};
    for (const auto &k : kinds) {
        ShowBrakePrompt(k.kind);
        EXPECT_EQ(k.text, LastText());
        EXPECT_EQ(256u, fake_simconnect::CallsOf("SimConnect_Text").back().size);
        EXPECT_STREQ(k.cue, PushbackState.soundSection);
        ASSERT_TRUE(WaitForSound()) << "the sound thread never cleared soundBusy";
    }
    PushbackState.soundOn = 0;
    PushbackState.soundSection[0] = '\0';
    ShowBrakePrompt(BRAKE_SET_AFTER);
    EXPECT_STREQ("", PushbackState.soundSection) << "no cue with sound cues off";
}

}  // namespace
