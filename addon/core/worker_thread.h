// The add-on's worker threads (settings dialog, sound requests) hold the
// module while they run: the simulator may unload it right after DLLStop, and
// a thread still inside its code would run freed memory.
#ifndef DROVANA_ADDON_CORE_WORKER_THREAD_H
#define DROVANA_ADDON_CORE_WORKER_THREAD_H

#include <windows.h>

// CreateThread with a reference on this module taken first; null (and no
// reference kept) when the thread cannot be made. The routine must end with
// EndWorkerThread.
HANDLE StartWorkerThread(LPTHREAD_START_ROUTINE routine, LPVOID argument, DWORD creationFlags);

// Ends the calling worker thread and gives its module reference back.
void EndWorkerThread(DWORD code);

// Waits up to timeoutMs for the thread to end, handling messages sent to this
// thread meanwhile (an ending dialog talks to its owner window). True when it
// has ended.
bool WaitForWorkerThread(HANDLE thread, DWORD timeoutMs);

// Closes the handle of a thread that has ended and empties it; a thread still
// running keeps its handle.
void ForgetEndedThread(HANDLE *thread);

#endif
