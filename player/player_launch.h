// Starting Kestrola the way the add-on does (hidden, no arguments) and finding
// the window of that very process: several players may share a wineserver.
// Used by the tools that drive the player from outside, not by the player.
#ifndef DROVANA_PLAYER_PLAYER_LAUNCH_H
#define DROVANA_PLAYER_PLAYER_LAUNCH_H

#include <windows.h>

#include "player_protocol.h"

inline bool StartPlayerHidden(char *commandLine, PROCESS_INFORMATION *process) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    *process = PROCESS_INFORMATION();
    return CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, process) != 0;
}

inline HWND FindPlayerWindowOf(DWORD processId, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND window = nullptr;
        while ((window = FindWindowExA(nullptr, window, kPlayerWindowClass, kPlayerWindowTitle)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == processId) return window;
        }
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(10);
    }
}

#endif
