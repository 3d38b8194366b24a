#include "child_program.h"

#include <string.h>

DWORD StartHiddenProgram(char *commandLine, HANDLE *keepProcess) {
    if (keepProcess != NULL) *keepProcess = NULL;
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof process);
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) return 0;
    CloseHandle(process.hThread);
    if (keepProcess != NULL) {
        *keepProcess = process.hProcess;
    } else {
        CloseHandle(process.hProcess);
    }
    return process.dwProcessId;
}

HWND FindProgramWindow(DWORD processId, const char *windowClass, const char *title) {
    // Another copy of the program (another simulator's) is not ours.
    HWND window = NULL;
    while ((window = FindWindowExA(NULL, window, windowClass, title)) != NULL) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (processId == 0 || owner == processId) return window;
    }
    return NULL;
}

void EndProgramWindow(DWORD processId, const char *windowClass, const char *title) {
    HWND window = FindProgramWindow(processId, windowClass, title);
    if (window != NULL) PostMessageA(window, WM_DESTROY, 0, 0);
}
