#include "sim_window.h"

int TestSimWindow::destroyMessages = 0;

std::vector<KeyMessage> &TestSimWindow::Received() {
    static std::vector<KeyMessage> received;
    return received;
}

std::string TestSimWindow::Keys() {
    std::string keys;
    for (const KeyMessage &m : Received()) {
        if (!keys.empty()) keys += ' ';
        keys += m.message == WM_KEYDOWN ? '+' : '-';
        keys += m.key == VK_SHIFT ? 'S' : static_cast<char>(m.key);
    }
    return keys;
}

LRESULT CALLBACK TestSimWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_KEYUP) Received().push_back(KeyMessage{message, wParam, lParam});
    if (message == WM_DESTROY) ++destroyMessages;
    return DefWindowProcA(window, message, wParam, lParam);
}

TestSimWindow::TestSimWindow(const char *className) : className_(className), window_(nullptr) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className_.c_str();
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, className_.c_str(), "simulator", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(window_);
    SetFocus(window_);
    PumpFor(50);
    Received().clear();
    destroyMessages = 0;
}

TestSimWindow::~TestSimWindow() {
    DestroyWindow(window_);
    UnregisterClassA(className_.c_str(), GetModuleHandleA(nullptr));
    PumpFor(20);
}

bool PumpUntil(const std::function<bool()> &done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

bool SetShift(bool held) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = VK_SHIFT;
    input.ki.dwFlags = held ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
    return PumpUntil([held] { return ((GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0) == held; }, 3000);
}
