#include "key_injection.h"

#include <string.h>

#include "../core/state.h"

namespace {

// The simulator reads the keys as extended ones; a release is the press's own
// record with the key-up flag added.
const DWORD kPressFlags = KEYEVENTF_EXTENDEDKEY;
const DWORD kReleaseFlags = KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP;

// SendInput is given the record size of the process it runs in: 28 bytes in
// the simulator's 32-bit process, the one the shipped module is built for.
#if defined(__i386__)
static_assert(sizeof(INPUT) == 28, "the shipped module passes SendInput the 32-bit record size");
#endif

// The add-on's keys carry this mark and the generation they were sent in
// through SendInput's extra info; the pilot's keys carry none.
const ULONG_PTR kOwnKeyMark = 0x44580000u;
const ULONG_PTR kGenerationMask = 0x0000FFFFu;
const ULONG_PTR kMarkMask = ~kGenerationMask;

ULONG_PTR OwnKeyTag() { return kOwnKeyMark | (PushbackState.keyGeneration & kGenerationMask); }

void Focus() { SetForegroundWindow(PushbackState.simWindow); }

// SendInput types into whatever window is in front. Where the system refuses
// to bring the simulator forward, its keys would land in the pilot's other
// program, so a sequence is sent only when the simulator is in front.
bool FocusSimulator() {
    if (PushbackState.simWindow == nullptr) return false;
    Focus();
    return GetForegroundWindow() == PushbackState.simWindow;
}

void SendOne(INPUT &record) { SendInput(1, &record, sizeof(INPUT)); }

// Fills the record for a press of key, with its scan code and extra info
// looked up now, and sends it.
void Press(WORD key, INPUT &record) {
    memset(&record, 0, sizeof record);
    record.type = INPUT_KEYBOARD;
    record.ki.wVk = key;
    record.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, 0) & 0xFFFF);
    record.ki.dwFlags = kPressFlags;
    record.ki.time = 0;
    record.ki.dwExtraInfo = OwnKeyTag();
    SendOne(record);
}

void Release(INPUT &record) {
    record.ki.dwFlags = kReleaseFlags;
    SendOne(record);
}

void PressAndRelease(WORD key) {
    INPUT record;
    Press(key, record);
    Release(record);
}

// Shift held over presses of P: one toggles the simulator's pushback, two
// restart it. Shift is pressed again right before its release: the order the
// simulator's keyboard handling is known to take as Shift+P.
bool SendShiftP(int pressesOfP) {
    INPUT shift;
    if (!FocusSimulator()) return false;
    Press(VK_SHIFT, shift);
    for (int i = 0; i < pressesOfP; ++i) {
        Focus();
        PressAndRelease('P');
    }
    Focus();
    PressAndRelease(VK_SHIFT);
    NotePushbackToggle();
    return true;
}

}  // namespace

bool SendKey(WORD key, int pressOnly) {
    if (!FocusSimulator()) return false;
    INPUT record;
    Press(key, record);
    if (pressOnly == 0) Release(record);
    return true;
}

bool TogglePushback() { return SendShiftP(1); }

bool RestartPushback() { return SendShiftP(2); }

bool StartTurn() {
    if (!RestartPushback()) return false;
    if (PushbackState.turnKey == '1')
        PushbackState.pushMode = PUSH_LEFT;
    else if (PushbackState.turnKey == '2')
        PushbackState.pushMode = PUSH_RIGHT;
    else
        return true;  // no turn chosen yet: there is no key to send
    Focus();
    PressAndRelease(static_cast<BYTE>(PushbackState.turnKey));
    return true;
}

// Until the simulator has answered the last Shift+P, its report may be the
// one from before it: a toggle then could undo that key.
bool StartSimulatorPushback() {
    if (!SimPushbackSettled()) return false;
    if (SimPushbackRunning()) return true;
    return TogglePushback();
}

bool StopSimulatorPushback() {
    if (!SimPushbackSettled()) return false;
    if (!SimPushbackRunning()) return true;
    return TogglePushback();
}

void RetireQueuedKeys() { PushbackState.keyGeneration = (PushbackState.keyGeneration + 1) & kGenerationMask; }

bool IsRetiredOwnKey(LPARAM extraInfo) {
    const ULONG_PTR tag = static_cast<ULONG_PTR>(extraInfo);
    return (tag & kMarkMask) == kOwnKeyMark && tag != OwnKeyTag();
}
