// Programs the add-on starts beside the simulator and ends with it, each
// known by its top-level window's class and title.
#ifndef DROVANA_ADDON_CORE_CHILD_PROGRAM_H
#define DROVANA_ADDON_CORE_CHILD_PROGRAM_H

#include <windows.h>

// Starts the command line hidden and returns its process id, 0 when it could
// not be started. Its handles are closed at once: the add-on never waits for it.
DWORD StartHiddenProgram(char *commandLine);

// Tells the program's window to end (WM_DESTROY): the window of that class and
// title owned by processId, or with processId 0 the first one found.
void EndProgramWindow(DWORD processId, const char *windowClass, const char *title);

#endif
