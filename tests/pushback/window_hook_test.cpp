#include <gtest/gtest.h>

#include "core/state.h"
#include "fake_simconnect.h"
#include "pushback/key_injection.h"
#include "pushback/window_hook.h"
#include "sim_report.h"
#include "sim_window.h"

namespace {

// The user at the keyboard: real key events through the input queue, with the
// real Shift state, into the hooked window.
void UserPresses(WORD key, bool shift, int downs = 1) {
    if (shift) {
        ASSERT_TRUE(SetShift(true));
    }
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    for (int i = 0; i < downs; ++i) SendInput(1, &input, sizeof input);  // held: auto-repeat
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
    // Key-ups always pass the hook, so this one marks the press as handled.
    ASSERT_TRUE(PumpUntil([key] {
        for (const KeyMessage &m : TestSimWindow::Received())
            if (m.message == WM_KEYUP && m.key == key) return true;
        return false;
    }));
    if (shift) {
        ASSERT_TRUE(SetShift(false));
    }
    PumpFor(50);
}

// The key-downs that reached the simulator's own procedure, Shift left out.
std::string DownsPassedOn() {
    std::string keys;
    for (const KeyMessage &m : TestSimWindow::Received())
        if (m.message == WM_KEYDOWN && m.key != VK_SHIFT) keys += static_cast<char>(m.key);
    return keys;
}

class WindowHook : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAddonState();
        fake_simconnect::Reset();
        PushbackState.simConnect = fake_simconnect::Connection();
        PushbackState.simWindow = window_.handle();
        SimSnapshot.onGround = 1.0;
        InstallSimWindowHook();
        TestSimWindow::Received().clear();
    }
    void TearDown() override {
        SetShift(false);
        PumpFor(20);
    }
    TestSimWindow window_;
};

TEST_F(WindowHook, InstallsOnceAndKeepsTheFirstProcedure) {
    const WNDPROC original = PushbackState.simWindowProc;
    ASSERT_NE(nullptr, original);
    EXPECT_NE(0, PushbackState.simWindowHooked);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(SimWindowHook), GetWindowLongPtrA(window_.handle(), GWLP_WNDPROC));
    InstallSimWindowHook();
    EXPECT_EQ(original, PushbackState.simWindowProc) << "a second OPEN must not chain the hook onto itself";
}

TEST_F(WindowHook, FindsTheSimulatorWindowByClass) {
    TestSimWindow simulator("MSCFSMAIN");
    ResetAddonState();
    InstallSimWindowHook();
    EXPECT_EQ(simulator.handle(), PushbackState.simWindow);
    EXPECT_EQ(nullptr, PushbackState.playerWindow);
}

TEST_F(WindowHook, OwnShiftPPassesUnchanged) {
    // The add-on's Shift+P has released Shift by the time its P is handled.
    PushbackState.pushMode = PUSH_STRAIGHT;
    PushbackState.pushActive = 1;
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = VK_SHIFT;
    SendInput(1, &input, sizeof input);
    input.ki.wVk = 'P';
    SendInput(1, &input, sizeof input);
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
    input.ki.wVk = VK_SHIFT;
    SendInput(1, &input, sizeof input);
    ASSERT_TRUE(PumpUntil([] { return TestSimWindow::Received().size() >= 4; }));
    EXPECT_EQ("+S +P -P -S", TestSimWindow::Keys());
    EXPECT_EQ(PUSH_STRAIGHT, PushbackState.pushMode);
    EXPECT_EQ(1, PushbackState.pushActive);
    EXPECT_TRUE(fake_simconnect::Texts().empty());
}

TEST_F(WindowHook, UsersShiftPSaysWhatItDidToTheSimulatorsPushback) {
    // A manual run before its start step: a run, but no pushback yet.
    PushbackState.pushMode = PUSH_STRAIGHT;
    PushbackState.pushActive = 1;
    PushbackState.sequenceStep = SEQUENCE_ENGINES_BEFORE;
    UserPresses('P', true);
    EXPECT_EQ(PUSH_STRAIGHT, PushbackState.pushMode);
    EXPECT_EQ(1, PushbackState.pushActive);
    UserPresses('P', false);
    EXPECT_EQ(PUSH_STRAIGHT, PushbackState.pushMode) << "P alone is no pushback command";
    SimReportsPushback(true);  // the simulator answered the first Shift+P
    UserPresses('P', true);
    EXPECT_EQ(PUSH_NONE, PushbackState.pushMode);

    SimReportsPushback(false);
    SimSnapshot.onGround = 0.0;  // the simulator starts nothing in the air
    UserPresses('P', true);
    EXPECT_EQ(PUSH_NONE, PushbackState.pushMode);
    EXPECT_EQ((std::vector<std::string>{"PUSHBACK", "PUSHBACK END"}), fake_simconnect::Texts());
}

TEST_F(WindowHook, UserShiftPStartsAndEndsAPushbackWithNoRun) {
    UserPresses('P', true);
    EXPECT_EQ("P", DownsPassedOn());
    EXPECT_EQ(PUSH_STRAIGHT, PushbackState.pushMode);
    EXPECT_EQ(1, PushbackState.pushActive);
    UserPresses('P', true);
    EXPECT_EQ(PUSH_NONE, PushbackState.pushMode);
    EXPECT_EQ(0, PushbackState.pushActive);
    const std::vector<FakeCall> texts = fake_simconnect::CallsOf("SimConnect_Text");
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ("PUSHBACK", texts[0].text);
    EXPECT_EQ(9u, texts[0].size);
    EXPECT_EQ("PUSHBACK END", texts[1].text);
    EXPECT_EQ(13u, texts[1].size);
}

TEST_F(WindowHook, AutoRepeatOfShiftPTogglesOnEveryRepeat) {
    UserPresses('P', true, 3);
    EXPECT_EQ("PPP", DownsPassedOn());
    EXPECT_EQ(PUSH_STRAIGHT, PushbackState.pushMode);
    const std::vector<std::string> expected = {"PUSHBACK", "PUSHBACK END", "PUSHBACK"};
    EXPECT_EQ(expected, fake_simconnect::Texts());
}

TEST_F(WindowHook, MeasuringSwallowsTheUsersPushbackKeys) {
    PushbackState.runKind = RUN_MEASURING;
    UserPresses('1', false);
    UserPresses('2', false);
    UserPresses('P', true);
    EXPECT_EQ("", DownsPassedOn());
    UserPresses('P', false);
    EXPECT_EQ("P", DownsPassedOn()) << "P without Shift is no pushback command";
    EXPECT_EQ(PUSH_NONE, PushbackState.pushMode);
}

TEST_F(WindowHook, AutomaticRunTakesShiftPOnlyWhileThePushbackRuns) {
    PushbackState.runKind = RUN_AUTO;
    PushbackState.pushMode = PUSH_STRAIGHT;
    PushbackState.pushActive = 1;
    PushbackState.sequenceStep = SEQUENCE_BRAKE_RELEASE_PROMPT;
    UserPresses('P', true);
    EXPECT_EQ("", DownsPassedOn());
    EXPECT_EQ(1, PushbackState.pushActive);
    PushbackState.sequenceStep = SEQUENCE_PUSHBACK;
    SimReportsPushback(true);
    UserPresses('P', true);
    EXPECT_EQ("P", DownsPassedOn());
    EXPECT_EQ(0, PushbackState.pushActive);
    EXPECT_EQ(PUSH_NONE, PushbackState.pushMode);
}

TEST_F(WindowHook, AutomaticRunSeesItsTurnKeyOnce) {
    PushbackState.runKind = RUN_AUTO;
    PushbackState.pushMode = PUSH_LEFT;
    PushbackState.turnKey = '1';
    PushbackState.sequenceStep = SEQUENCE_PUSHBACK;
    UserPresses('1', false);
    EXPECT_EQ(PHASE_TURNING, PushbackState.autoPhase);
    UserPresses('2', false);
    PushbackState.autoPhase = PHASE_ROLL_OUT;
    UserPresses('1', false);
    EXPECT_EQ("1", DownsPassedOn());
    EXPECT_EQ(PHASE_ROLL_OUT, PushbackState.autoPhase);
}

TEST_F(WindowHook, ManualTurnFromStraightRestartsAndTurns) {
    PushbackState.pushMode = PUSH_STRAIGHT;
    PushbackState.pushActive = 1;
    SimReportsPushback(true);
    UserPresses('1', false);
    ASSERT_TRUE(PumpUntil([] { return DownsPassedOn().size() >= 3; }));
    PumpFor(100);
    // The user's 1 is swallowed; the restart's P's find Shift released and
    // pass; the add-on's own 1 then finds pushMode Left and straightens it.
    EXPECT_EQ("PP1", DownsPassedOn());
    EXPECT_EQ('1', PushbackState.turnKey);
    EXPECT_EQ(PUSH_STRAIGHT, PushbackState.pushMode);
    const std::vector<FakeCall> texts = fake_simconnect::CallsOf("SimConnect_Text");
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ("TURN LEFT", texts[0].text);
    EXPECT_EQ(10u, texts[0].size);
}

TEST_F(WindowHook, ManualTurnKeysWhileTurning) {
    PushbackState.pushMode = PUSH_LEFT;
    UserPresses('2', false);
    EXPECT_EQ(PUSH_LEFT, PushbackState.pushMode);
    UserPresses('1', true);  // Shift+1 is 1
    EXPECT_EQ(PUSH_STRAIGHT, PushbackState.pushMode);
    EXPECT_EQ("21", DownsPassedOn());
    EXPECT_TRUE(fake_simconnect::Texts().empty());
}

TEST_F(WindowHook, KeysOfAnEndedRunAreDroppedAndLaterOnesPass) {
    // A pick's Shift+P still queued when STOP ends what it belonged to, then
    // STOP's own Shift+P, then the pilot's 1.
    ASSERT_TRUE(TogglePushback());
    RetireQueuedKeys();
    ASSERT_TRUE(TogglePushback());
    ASSERT_TRUE(PumpUntil([] { return TestSimWindow::Received().size() >= 5; }));
    PumpFor(100);
    EXPECT_EQ("+S +P -P +S -S", TestSimWindow::Keys()) << "only the key sent after the end may reach the simulator";
    TestSimWindow::Received().clear();
    UserPresses('1', false);
    EXPECT_EQ("1", DownsPassedOn()) << "the pilot's keys carry no tag and always pass";
}

TEST_F(WindowHook, RemovedOnlyWhileItIsTheWindowsProcedure) {
    RemoveSimWindowHook();
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(PushbackState.simWindowProc), GetWindowLongPtrA(window_.handle(), GWLP_WNDPROC));
    // Another add-on subclassed after us keeps its procedure.
    InstallSimWindowHook();
    const LONG_PTR other = reinterpret_cast<LONG_PTR>(DefWindowProcA);
    SetWindowLongPtrA(window_.handle(), GWLP_WNDPROC, other);
    RemoveSimWindowHook();
    EXPECT_EQ(other, GetWindowLongPtrA(window_.handle(), GWLP_WNDPROC));
    SetWindowLongPtrA(window_.handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PushbackState.simWindowProc));
}

TEST_F(WindowHook, DestroyTellsThePlayerToEnd) {
    TestSimWindow player("DrovanaSndPlayTest");
    PushbackState.playerWindow = player.handle();
    SimWindowHook(window_.handle(), WM_DESTROY, 0, 0);
    ASSERT_TRUE(PumpUntil([] { return TestSimWindow::destroyMessages >= 2; }))
        << "the player got no WM_DESTROY, or the simulator's procedure was not called";

    // No player window: nothing is posted to this thread instead.
    PushbackState.playerWindow = nullptr;
    SimWindowHook(window_.handle(), WM_DESTROY, 0, 0);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, (HWND)-1, WM_DESTROY, WM_DESTROY, PM_REMOVE));
}

}  // namespace
