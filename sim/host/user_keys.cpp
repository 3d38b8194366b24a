#include "user_keys.h"

#include <ctype.h>
#include <stdio.h>
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

// One or more combinations separated by blanks, "Shift+P Shift+P".
bool ExpandAll(const char *keys, std::deque<KeyEvent> &out) {
    std::deque<KeyEvent> events;
    char combination[16];
    int used = 0;
    int count = 0;
    while (sscanf(keys, " %15s%n", combination, &used) == 1) {
        bool shift;
        WORD vk;
        if (!ParseKeys(combination, &shift, &vk)) return false;
        Expand(shift, vk, events);
        keys += used;
        ++count;
    }
    if (count == 0) return false;
    out.insert(out.end(), events.begin(), events.end());
    return true;
}

bool QueueUserKeys(const char *keys) { return ExpandAll(keys, pending); }

bool SendKeyBurst(HWND window, const char *keys) {
    std::deque<KeyEvent> burst;
    if (!ExpandAll(keys, burst)) return false;
    for (const KeyEvent &event : burst) Send(window, event);
    return true;
}

void StepUserKeys(HWND window) {
    if (pending.empty()) return;
    Send(window, pending.front());
    pending.pop_front();
}

bool UserKeysPending() { return !pending.empty(); }
