#include "window_hook.h"

#include "../core/screen_text.h"
#include "../core/state.h"
#include "../sound/player_link.h"
#include "key_injection.h"

namespace {

HWND FindSimWindow() {
    HWND fs98 = FindWindowExA(nullptr, nullptr, "FS98MAIN", nullptr);
    HWND mscfs = FindWindowExA(nullptr, nullptr, "MSCFSMAIN", nullptr);
    return fs98 != nullptr ? fs98 : mscfs;
}

// The state at the moment the message is handled: the add-on's own Shift+P
// has normally released Shift by the time its P comes back.
bool ShiftHeld() { return (GetAsyncKeyState(VK_SHIFT) & 0xFF00) != 0; }

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(PushbackState.simWindowProc, window, message, wParam, lParam);
}

// The user's Shift+P starts the simulator's pushback when it is off and ends
// it when it runs, whatever the add-on's run is doing; the add-on's state
// follows what the key does, never its own guess of it.
void FollowUsersShiftP() {
    // Before the simulator has answered the last Shift+P (an auto-repeat, a
    // toggle of the add-on's just ahead in the queue), the pushback is as
    // that key left it, which the run's own state already follows.
    const bool running = SimPushbackSettled() ? SimPushbackRunning() : PushbackState.pushMode != PUSH_NONE;
    if (running) {
        PushbackState.pushMode = PUSH_NONE;
        PushbackState.pushActive = 0;
        ShowFixedText("PUSHBACK END");
    } else if (IsOnGround()) {
        PushbackState.pushMode = PUSH_STRAIGHT;
        PushbackState.pushActive = 1;
        ShowFixedText("PUSHBACK");
    }
    // Off the ground the simulator starts nothing, and nothing changes here.
}

// Returns true when the user's Shift+P goes on to the simulator.
bool OnShiftP() {
    // A measurement owns the pushback from its start, before its first sample
    // marks runKind: a stop or restart by the user would falsify it.
    if (PushbackState.measureTimer != 0) return false;
    switch (PushbackState.runKind) {
    case RUN_MEASURING:
        return false;
    case RUN_AUTO:
        // Only while the simulator's pushback runs may the user end it.
        if (PushbackState.sequenceStep != SEQUENCE_START_PUSHBACK && PushbackState.sequenceStep != SEQUENCE_PUSHBACK) return false;
        FollowUsersShiftP();
        return true;
    default:
        FollowUsersShiftP();
        return true;
    }
}

// Returns true when the turn key goes on to the simulator.
bool OnTurnKey(char key) {
    const int mode = key == '1' ? PUSH_LEFT : PUSH_RIGHT;
    switch (PushbackState.runKind) {
    case RUN_MEASURING:
        return false;
    case RUN_AUTO:
        // The other key would turn the tail away from the target heading,
        // round and round until it came by again.
        if (key != PushbackState.turnKey) return false;
        // The early turn belongs to the straight push of step 8; before the
        // pushback exists it would make the run wait for a turn that never
        // comes, and afterwards there is nothing to turn.
        if (PushbackState.sequenceStep != SEQUENCE_PUSHBACK || PushbackState.autoPhase != PHASE_PUSH_OUT) return false;
        PushbackState.autoPhase = PHASE_TURNING;
        return true;
    default:
        // Before a manual run's start step there is no pushback to turn: a
        // restart there would start one and stop it again.
        if (PushbackState.pushMode == PUSH_STRAIGHT && SimPushbackRunning()) {
            // A turn starts from a straight restart; the key itself is sent
            // again after it and passes the branch below.
            PushbackState.turnKey = key;
            if (StartTurn()) ShowFixedText(key == '1' ? "TURN LEFT" : "TURN RIGHT");
            return false;
        }
        if (PushbackState.pushMode == mode) PushbackState.pushMode = PUSH_STRAIGHT;
        return true;
    }
}

bool IsKeyMessage(UINT message) { return message == WM_KEYDOWN || message == WM_KEYUP; }

}  // namespace

void InstallSimWindowHook() {
    if (PushbackState.simWindow == nullptr) PushbackState.simWindow = FindSimWindow();
    if (PushbackState.simWindow != nullptr) {
        if (PushbackState.simWindowProc == nullptr)
            PushbackState.simWindowProc =
                reinterpret_cast<WNDPROC>(GetWindowLongPtrA(PushbackState.simWindow, GWLP_WNDPROC));
        if (PushbackState.simWindowHooked == 0)
            PushbackState.simWindowHooked = SetWindowLongPtrA(PushbackState.simWindow, GWLP_WNDPROC,
                                                              reinterpret_cast<LONG_PTR>(SimWindowHook));
    }
    PushbackState.playerWindow = FindPlayerWindow();
}

void RemoveSimWindowHook() {
    HWND window = PushbackState.simWindow;
    if (PushbackState.simWindowHooked == 0 || window == nullptr || PushbackState.simWindowProc == nullptr) return;
    // Another add-on that subclassed the window after us holds our procedure
    // as its next one: putting the simulator's back would cut that add-on
    // off, so the window is left as it is.
    const WNDPROC current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    if (IsWindow(window) && current == SimWindowHook)
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PushbackState.simWindowProc));
    PushbackState.simWindowHooked = 0;
}

LRESULT CALLBACK SimWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        EndPlayer();
        return PassOn(window, message, wParam, lParam);
    }
    if (!IsKeyMessage(message)) return PassOn(window, message, wParam, lParam);
    // Keys of a run or measurement that ended while they were queued (a STOP
    // in the frame of the pick) would start or turn a pushback nobody follows.
    if (IsRetiredOwnKey(GetMessageExtraInfo())) return 0;
    if (message != WM_KEYDOWN) return PassOn(window, message, wParam, lParam);

    switch (wParam) {
    case 'P':
        if (ShiftHeld() && !OnShiftP()) return 0;
        if ((GetKeyState(VK_SHIFT) & 0x8000) != 0) NotePushbackToggle();
        return PassOn(window, message, wParam, lParam);
    case '1':
    case '2':
        if (OnTurnKey(static_cast<char>(wParam))) return PassOn(window, message, wParam, lParam);
        return 0;
    default:
        return PassOn(window, message, wParam, lParam);
    }
}
