#include <gtest/gtest.h>

#include "fake_simconnect.h"
#include "pushback/key_injection.h"
#include "core/state.h"
#include "sim_window.h"

namespace {

class KeyInjection : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAddonState();
        fake_simconnect::Reset();
        PushbackState.simWindow = window_.handle();
        TestSimWindow::Received().clear();
    }
    // Waits for the expected number of key messages and then a little more,
    // so an extra event would be seen too.
    std::string KeysAfter(size_t count) {
        PumpUntil([count] { return TestSimWindow::Received().size() >= count; });
        PumpFor(100);
        return TestSimWindow::Keys();
    }
    TestSimWindow window_;
};

TEST_F(KeyInjection, SendKeyPressesAndReleasesOnce) {
    SendKey('1', 0);
    EXPECT_EQ("+1 -1", KeysAfter(2));
}

TEST_F(KeyInjection, KeysCarryTheirScanCodeAndTheExtendedFlag) {
    SendKey('2', 0);
    ASSERT_EQ("+2 -2", KeysAfter(2));
    for (const KeyMessage &m : TestSimWindow::Received()) {
        EXPECT_EQ(MapVirtualKeyA('2', 0) & 0xFF, (static_cast<UINT>(m.lParam) >> 16) & 0xFF) << "scan code";
        EXPECT_NE(0, m.lParam & (1 << 24)) << "extended-key flag missing";
    }
    EXPECT_NE(0, TestSimWindow::Received()[1].lParam & (1u << 31)) << "second event is not a release";
}

TEST_F(KeyInjection, ToggleIsShiftPWithShiftPressedAgainBeforeItsRelease) {
    TogglePushback();
    EXPECT_EQ("+S +P -P +S -S", KeysAfter(5));
}

TEST_F(KeyInjection, RestartIsShiftPTwice) {
    RestartPushback();
    EXPECT_EQ("+S +P -P +P -P +S -S", KeysAfter(7));
}

TEST_F(KeyInjection, StartTurnRestartsThenSendsTheTurnKey) {
    PushbackState.turnKey = '2';
    PushbackState.pushMode = PUSH_STRAIGHT;
    StartTurn();
    EXPECT_EQ(PUSH_RIGHT, PushbackState.pushMode);
    EXPECT_EQ("+S +P -P +P -P +S -S +2 -2", KeysAfter(9));

    TestSimWindow::Received().clear();
    PushbackState.turnKey = '1';
    StartTurn();
    EXPECT_EQ(PUSH_LEFT, PushbackState.pushMode);
    EXPECT_EQ("+S +P -P +P -P +S -S +1 -1", KeysAfter(9));
}

// Windows refuses SetForegroundWindow while another program holds the
// foreground; Wine never does for a top-level window (hidden, disabled or
// minimised alike), but it asks the thread's CBT hook before it activates
// one, and a hook that says no makes the call fail the same way.
HWND refusedWindow;
LRESULT CALLBACK RefuseActivation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && reinterpret_cast<HWND>(wParam) == refusedWindow) return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(KeyInjection, NothingIsTypedIntoAnotherProgramInFront) {
    TestSimWindow chart("DrovanaTestChart");  // the pilot's other program, in front
    ASSERT_EQ(chart.handle(), GetForegroundWindow());
    refusedWindow = window_.handle();
    HHOOK refuse = SetWindowsHookExA(WH_CBT, RefuseActivation, nullptr, GetCurrentThreadId());
    PushbackState.turnKey = '1';
    PushbackState.pushMode = PUSH_STRAIGHT;
    EXPECT_FALSE(SendKey('1', 0));
    EXPECT_FALSE(TogglePushback());
    EXPECT_FALSE(RestartPushback());
    EXPECT_FALSE(StartTurn());
    UnhookWindowsHookEx(refuse);
    EXPECT_EQ(chart.handle(), GetForegroundWindow());
    EXPECT_EQ("", KeysAfter(0)) << "keys went out while the simulator was not in front";
    EXPECT_EQ(PUSH_STRAIGHT, PushbackState.pushMode) << "a turn that was never sent changed pushMode";

    PushbackState.simWindow = nullptr;  // never found
    EXPECT_FALSE(TogglePushback());
    EXPECT_EQ("", KeysAfter(0));

    PushbackState.simWindow = window_.handle();
    EXPECT_TRUE(TogglePushback());
    EXPECT_EQ("+S +P -P +S -S", KeysAfter(5)) << "once it can come to the front it gets its keys again";
}

TEST_F(KeyInjection, ShiftReadsReleasedWhenTheInjectedPArrives) {
    // The hook tells the add-on's own Shift+P from the user's by this.
    static SHORT shiftAtP;
    shiftAtP = -1;
    struct Probe {
        static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
            if (m == WM_KEYDOWN && wp == 'P') shiftAtP = GetAsyncKeyState(VK_SHIFT);
            return DefWindowProcA(w, m, wp, lp);
        }
    };
    SetWindowLongPtrA(window_.handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Probe::Proc));
    TogglePushback();
    ASSERT_TRUE(PumpUntil([] { return shiftAtP != -1; }));
    EXPECT_EQ(0, shiftAtP & 0xFF00);
}

}  // namespace
