#include "window_hook.h"

#include "../core/state.h"

void InstallSimWindowHook() {}

LRESULT CALLBACK SimWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(PushbackState.simWindowProc, window, message, wParam, lParam);
}
