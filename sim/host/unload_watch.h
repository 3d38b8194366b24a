// After DLLStop the stand-in unloads the add-on with FreeLibrary, as a
// simulator may, and keeps its window, frames and messages going. Anything of
// the add-on that still runs then (a timer callback, a window procedure, a
// fault inside its old address range) is reported: Wine's DispatchMessage
// swallows a fault in a timer callback, so the range is watched directly and
// a vectored exception handler sees faults before anything else does.
#ifndef DROVANA_SIM_UNLOAD_WATCH_H
#define DROVANA_SIM_UNLOAD_WATCH_H

#include <windows.h>

// Records the module's address range, unloads it and starts watching; writes
// an `unload` record with whether the module left the process.
void UnloadAndWatch(HMODULE module);

// False when dispatching the message would call into the unloaded add-on (a
// thread timer's callback, a window procedure inside it): the call is
// reported and the message dropped.
bool MayDispatchAfterUnload(const MSG &message);

// A window procedure inside the unloaded add-on is reported, and the window
// gets its class's own procedure back so it can still be destroyed.
void CheckWindowAfterUnload(HWND window);

// Writes the `after_unload` record; false when anything of the add-on ran
// after it was unloaded.
bool ReportAfterUnload();

#endif
