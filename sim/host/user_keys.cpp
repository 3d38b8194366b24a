#include "user_keys.h"

#include <ctype.h>
#include <string.h>

#include <deque>

#include "trace.h"

namespace {

struct KeyEvent {
    WORD vk;
    bool up;
};

std::deque<KeyEvent> pending;

// "Shift+P", "P", "1", "2", "Shift+1": an optional Shift and one letter or digit.
bool ParseKeys(const char *keys, bool *shift, WORD *vk) {
    *shift = false;
    if (_strnicmp(keys, "Shift+", 6) == 0) {
        *shift = true;
        keys += 6;
    }
    if (strlen(keys) != 1 || !isalnum(static_cast<unsigned char>(keys[0]))) return false;
    *vk = static_cast<WORD>(toupper(static_cast<unsigned char>(keys[0])));
    return true;
}

void Expand(bool shift, WORD vk, std::deque<KeyEvent> &out) {
    if (shift) out.push_back(KeyEvent{VK_SHIFT, false});
    out.push_back(KeyEvent{vk, false});
    out.push_back(KeyEvent{vk, true});
    if (shift) out.push_back(KeyEvent{VK_SHIFT, true});
}

void Send(HWND window, const KeyEvent &event) {
    SetForegroundWindow(window);
    INPUT input;
    memset(&input, 0, sizeof input);
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = event.vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(event.vk, 0));
    input.ki.dwFlags = event.up ? KEYEVENTF_KEYUP : 0;
    const UINT sent = SendInput(1, &input, sizeof input);
    JsonLine record = Record("input");
    record.Int("vk", event.vk).Bool("up", event.up).Int("sent", sent);
    Emit(record);
}

}  // namespace

bool QueueUserKeys(const char *keys) {
    bool shift;
    WORD vk;
    if (!ParseKeys(keys, &shift, &vk)) return false;
    Expand(shift, vk, pending);
    return true;
}

bool SendKeyBurst(HWND window, const char *keys) {
    bool shift;
    WORD vk;
    if (!ParseKeys(keys, &shift, &vk)) return false;
    std::deque<KeyEvent> burst;
    Expand(shift, vk, burst);
    for (const KeyEvent &event : burst) Send(window, event);
    return true;
}

void StepUserKeys(HWND window) {
    if (pending.empty()) return;
    Send(window, pending.front());
    pending.pop_front();
}

bool UserKeysPending() { return !pending.empty(); }
