#include "worker_thread.h"

namespace {

HMODULE ReferenceThisModule(DWORD flags) {
    HMODULE module = NULL;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | flags,
                            reinterpret_cast<LPCSTR>(&ReferenceThisModule), &module))
        return NULL;
    return module;
}

}  // namespace

HANDLE StartWorkerThread(LPTHREAD_START_ROUTINE routine, LPVOID argument, DWORD creationFlags) {
    HMODULE held = ReferenceThisModule(0);
    if (held == NULL) return NULL;
    HANDLE thread = CreateThread(NULL, 0, routine, argument, creationFlags, NULL);
    if (thread == NULL) FreeLibrary(held);
    return thread;
}

void EndWorkerThread(DWORD code) {
    HMODULE held = ReferenceThisModule(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT);
    if (held != NULL) FreeLibraryAndExitThread(held, code);
    ExitThread(code);
}

bool WaitForWorkerThread(HANDLE thread, DWORD timeoutMs) {
    if (thread == NULL) return true;
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD waited = GetTickCount() - start;
        if (waited >= timeoutMs) return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
        const DWORD result = MsgWaitForMultipleObjects(1, &thread, FALSE, timeoutMs - waited, QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0) return true;
        if (result != WAIT_OBJECT_0 + 1) return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
        // Only sent messages are handled; what is posted stays queued for
        // the simulator's own loop.
        MSG message;
        PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void ForgetEndedThread(HANDLE *thread) {
    if (*thread == NULL || WaitForSingleObject(*thread, 0) != WAIT_OBJECT_0) return;
    CloseHandle(*thread);
    *thread = NULL;
}
