#include "child_program.h"

#include <string.h>

DWORD StartHiddenProgram(char *commandLine, HANDLE *keepProcess) {
    if (keepProcess != nullptr) *keepProcess = nullptr;
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof process);
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return 0;
    CloseHandle(process.hThread);
    if (keepProcess != nullptr) {
        *keepProcess = process.hProcess;
    } else {
        CloseHandle(process.hProcess);
    }
    return process.dwProcessId;
}

HWND FindProgramWindow(DWORD processId, const char *windowClass, const char *title) {
    // Another copy of the program (another simulator's) is not ours.
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, windowClass, title)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (processId == 0 || owner == processId) return window;
    }
    return nullptr;
}

void EndProgramWindow(DWORD processId, const char *windowClass, const char *title) {
    HWND window = FindProgramWindow(processId, windowClass, title);
    if (window != nullptr) PostMessageA(window, WM_DESTROY, 0, 0);
}
