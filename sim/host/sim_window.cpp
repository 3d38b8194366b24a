#include "sim_window.h"

#include <stdio.h>
#include <string.h>

#include "ground_model.h"
#include "trace.h"

namespace {

const char kClassName[] = "FS98MAIN";
GroundModel *groundModel = nullptr;

const char *KeyName(WPARAM vk, char (&buffer)[8]) {
    if (vk == VK_SHIFT) return "Shift";
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) {
        buffer[0] = static_cast<char>(vk);
        buffer[1] = '\0';
        return buffer;
    }
    snprintf(buffer, sizeof buffer, "0x%02X", static_cast<unsigned>(vk & 0xFF));
    return buffer;
}

LRESULT CALLBACK SimulatorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN: {
        // Shift as the message queue knew it when this key-down was taken
        // from it: the add-on's own Shift+P comes back with the asynchronous
        // state already released, and the simulator still has to see Shift+P.
        const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        const bool asyncShift = (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
        const char *effect = groundModel != nullptr ? groundModel->OnKeyDown(static_cast<unsigned>(wParam), shift) : "none";
        char name[8];
        JsonLine record = Record("key");
        record.Int("vk", static_cast<long long>(wParam)).Str("key", KeyName(wParam, name));
        record.Bool("shift", shift).Bool("async_shift", asyncShift);
        record.Bool("repeat", (lParam & 0x40000000) != 0).Str("effect", effect);
        Emit(record);
        return 0;
    }
    case WM_DESTROY: {
        JsonLine record = Record("window");
        record.Str("message", "WM_DESTROY");
        Emit(record);
        return 0;
    }
    case WM_CLOSE:
        // Only the host ends the run.
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

HWND CreateSimulatorWindow(HINSTANCE instance, GroundModel *model, const char *title) {
    groundModel = model;
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = SimulatorWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass)) return nullptr;
    HWND window = CreateWindowExA(0, kClassName, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 800, 600,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return nullptr;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetForegroundWindow(window);
    return window;
}
