// Programs the add-on starts beside the simulator and ends with it, each
// known by its top-level window's class and title.
#ifndef DROVANA_ADDON_CORE_CHILD_PROGRAM_H
#define DROVANA_ADDON_CORE_CHILD_PROGRAM_H

#include <windows.h>

// Starts the command line hidden and returns its process id, 0 when it could
// not be started. With keepProcess null its handles are closed at once (the
// add-on never waits for it); otherwise the process handle is handed over.
DWORD StartHiddenProgram(char *commandLine, HANDLE *keepProcess = nullptr);

// The window of that class and title owned by processId, or with processId 0
// the first one found; null when there is none.
HWND FindProgramWindow(DWORD processId, const char *windowClass, const char *title);

// Tells the program's window to end (WM_DESTROY), found as FindProgramWindow finds it.
void EndProgramWindow(DWORD processId, const char *windowClass, const char *title);

#endif
