#include "map_program.h"

#include <stdio.h>
#include <string.h>

#include "../../scenery/map_protocol.h"
#include "../core/child_program.h"

namespace {

// Room for a whole setupPath twice, the program's name and the quotes.
const size_t kCommandLineSize = 2 * 256 + 64;

void LetGo(MapProgram *program) {
    if (program->process != nullptr) CloseHandle(program->process);
    memset(program, 0, sizeof *program);
}

}  // namespace

bool FormMapCommandLine(const char *folder, DWORD starter, char *commandLine, size_t size) {
    if (size == 0) return false;
    commandLine[0] = '\0';
    const int written = snprintf(commandLine, size, "\"%s%s\" --parent %lu \"%s\"", folder, MAP_PROGRAM_NAME,
                                 static_cast<unsigned long>(starter), folder);
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
    // The map program ends with this process, so a simulator that crashes
    // leaves none behind holding its log and files.
    if (!FormMapCommandLine(folder, GetCurrentProcessId(), commandLine, sizeof commandLine)) return false;
    program->processId = StartHiddenProgram(commandLine, &program->process);
    if (program->processId == 0) return false;
    program->startedAt = GetTickCount();
    return true;
}

bool MapProgramRunning(const MapProgram *program) {
    return program->process != nullptr && WaitForSingleObject(program->process, 0) == WAIT_TIMEOUT;
}

HWND FindMapProgramWindow(MapProgram *program) {
    if (program->window != nullptr && IsWindow(program->window)) return program->window;
    program->window = nullptr;
    if (!MapProgramRunning(program)) return nullptr;
    // Several map programs may run at once (two simulators, or one left by a
    // crashed one): only the one this worker started is asked.
    HWND window = FindProgramWindow(program->processId, MAP_WINDOW_CLASS, MAP_WINDOW_TITLE);
    program->window = window;
    return window;
}

void EndMapProgram(MapProgram *program, DWORD closeMs) {
    if (program->process == nullptr) return;
    if (MapProgramRunning(program)) {
        HWND window = FindMapProgramWindow(program);
        if (window != nullptr) PostMessageA(window, WM_CLOSE, 0, 0);
        if (window == nullptr || WaitForSingleObject(program->process, closeMs) != WAIT_OBJECT_0)
            TerminateProcess(program->process, 1);
    }
    LetGo(program);
}
