// A top-level window standing in for the simulator's main window: its own
// procedure records the key messages that reach it, after the add-on's hook
// when that is installed.
#ifndef DROVANA_TESTS_PUSHBACK_SIM_WINDOW_H
#define DROVANA_TESTS_PUSHBACK_SIM_WINDOW_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct KeyMessage {
    UINT message;  // WM_KEYDOWN or WM_KEYUP
    WPARAM key;
    LPARAM lParam;
};

class TestSimWindow {
public:
    explicit TestSimWindow(const char *className = "DrovanaTestSim");
    ~TestSimWindow();
    HWND handle() const { return window_; }

    // What reached the window's own procedure, as "v+P v-P" style text:
    // + for a key-down, - for a key-up, S for Shift.
    static std::string Keys();
    static std::vector<KeyMessage> &Received();
    static int destroyMessages;

private:
    static LRESULT CALLBACK Procedure(HWND, UINT, WPARAM, LPARAM);
    std::string className_;
    HWND window_;
};

// Pumps the thread's messages until done() holds or the timeout passes.
bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs = 5000);
// Pumps for a while so that nothing still queued is missed.
void PumpFor(DWORD ms);

// Holds or releases the real Shift key through the input queue and waits until
// the asynchronous key state shows it.
bool SetShift(bool held);

#endif
