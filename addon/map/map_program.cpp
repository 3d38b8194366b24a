#include "map_program.h"

#include <stdio.h>
#include <string.h>

#include "../../scenery/map_protocol.h"

namespace {

// Room for a whole setupPath twice, the program's name and the quotes.
const size_t kCommandLineSize = 2 * 256 + 64;

void LetGo(MapProgram *program) {
    if (program->process != NULL) CloseHandle(program->process);
    memset(program, 0, sizeof *program);
}

}  // namespace

bool FormMapCommandLine(const char *folder, char *commandLine, size_t size) {
    if (size == 0) return false;
    commandLine[0] = '\0';
    const int written = snprintf(commandLine, size, "\"%s%s\" \"%s\"", folder, MAP_PROGRAM_NAME, folder);
    if (written < 0 || static_cast<size_t>(written) >= size) {
        commandLine[0] = '\0';
        return false;
    }
    return true;
}

bool StartMapProgram(const char *folder, MapProgram *program) {
    memset(program, 0, sizeof *program);
    if (folder[0] == '\0') return false;
    char commandLine[kCommandLineSize];
    if (!FormMapCommandLine(folder, commandLine, sizeof commandLine)) return false;

    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started;
    memset(&started, 0, sizeof started);
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &started)) return false;
    CloseHandle(started.hThread);
    program->process = started.hProcess;
    program->processId = started.dwProcessId;
    program->startedAt = GetTickCount();
    return true;
}

bool MapProgramRunning(const MapProgram *program) {
    return program->process != NULL && WaitForSingleObject(program->process, 0) == WAIT_TIMEOUT;
}

HWND FindMapProgramWindow(MapProgram *program) {
    if (program->window != NULL && IsWindow(program->window)) return program->window;
    program->window = NULL;
    if (!MapProgramRunning(program)) return NULL;
    // Several map programs may run at once (two simulators, or one left by a
    // crashed one): FindWindowEx walks them by class and title.
    HWND window = NULL;
    while ((window = FindWindowExA(NULL, window, MAP_WINDOW_CLASS, MAP_WINDOW_TITLE)) != NULL) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == program->processId) break;
    }
    program->window = window;
    return window;
}

void EndMapProgram(MapProgram *program, DWORD closeMs) {
    if (program->process == NULL) return;
    if (MapProgramRunning(program)) {
        HWND window = FindMapProgramWindow(program);
        if (window != NULL) PostMessageA(window, WM_CLOSE, 0, 0);
        if (window == NULL || WaitForSingleObject(program->process, closeMs) != WAIT_OBJECT_0)
            TerminateProcess(program->process, 1);
    }
    LetGo(program);
}
