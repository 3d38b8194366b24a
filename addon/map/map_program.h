// The map program as the add-on's map worker sees it: started hidden from the
// simulator's folder, found by its window, ended with the worker. Only the
// worker thread touches a MapProgram.
#ifndef DROVANA_ADDON_MAP_MAP_PROGRAM_H
#define DROVANA_ADDON_MAP_MAP_PROGRAM_H

#include <windows.h>
#include <stddef.h>

struct MapProgram {
    HANDLE process;    // ours to end; null when none runs
    DWORD processId;
    DWORD startedAt;   // GetTickCount at the start
    HWND window;       // its window once found
};

// `"<folder>DrovanaMap.exe" --parent <starter> "<folder>"` into commandLine,
// both paths quoted for blanks in the folder; the map program ends when the
// process starter ends. It reads quotes as grouping only, so the folder's
// trailing backslash before the closing quote stays a backslash.
// False (and an empty line) when it does not fit: a cut command line would
// start another program or name another folder.
bool FormMapCommandLine(const char *folder, DWORD starter, char *commandLine, size_t size);

// Starts the program from the simulator's folder, hidden. False when the
// folder is unknown (the program would be looked for in the current folder of
// whatever process loaded the add-on) or the program cannot be started.
bool StartMapProgram(const char *folder, MapProgram *program);

// True while the started program runs.
bool MapProgramRunning(const MapProgram *program);

// The program's window, once it has one: only a window of the process started
// here counts, never another simulator's map program.
HWND FindMapProgramWindow(MapProgram *program);

// Asks the program to close, waits up to closeMs for it, then ends it by force
// (a hung or suspended program answers nothing), and lets go of it.
void EndMapProgram(MapProgram *program, DWORD closeMs);

#endif
