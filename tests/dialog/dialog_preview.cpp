// Opens the settings dialog on a sample Drovana.cfg, prints where it lies on
// the screen, and closes it after a few seconds: for the picture in docs/,
// taken under Xvfb by tools/dialog_screenshot.sh.
// Usage: dialog_preview.exe CONFIG_PATH [SECONDS]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "core/state.h"
#include "dialog/resource.h"
#include "dialog/settings_dialog.h"

namespace {

DWORD WINAPI CloseLater(LPVOID seconds) {
    const DWORD start = GetTickCount();
    HWND dialog = nullptr;
    while (dialog == nullptr && GetTickCount() - start < 10000) {
        dialog = FindWindowA(nullptr, "DrovanaX setting");
        Sleep(20);
    }
    if (dialog == nullptr) return 1;
    Sleep(500);  // let the first paint finish
    RECT frame;
    GetWindowRect(dialog, &frame);
    printf("dialog %ld %ld %ld %ld\n", frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top);
    fflush(stdout);
    Sleep(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(seconds)) * 1000);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: dialog_preview CONFIG_PATH [SECONDS]\n");
        return 2;
    }
    ResetAddonState();
    PushbackState.moduleInstance = GetModuleHandleA(nullptr);
    lstrcpynA(PushbackState.configPath, argv[1], sizeof PushbackState.configPath);
    lstrcpynA(PushbackState.aircraftKey, "Liner", sizeof PushbackState.aircraftKey);
    const UINT_PTR seconds = argc > 2 ? static_cast<UINT_PTR>(atoi(argv[2])) : 5;
    CloseHandle(CreateThread(nullptr, 0, CloseLater, reinterpret_cast<LPVOID>(seconds), 0, nullptr));
    SettingDialogThread(nullptr);
    return 0;
}
