#include "worker_thread.h"

namespace {

HMODULE ReferenceThisModule(DWORD flags) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | flags,
                            reinterpret_cast<LPCSTR>(&ReferenceThisModule), &module))
        return nullptr;
    return module;
}

}  // namespace

HANDLE StartWorkerThread(LPTHREAD_START_ROUTINE routine, LPVOID argument, DWORD creationFlags) {
    HMODULE held = ReferenceThisModule(0);
    if (held == nullptr) return nullptr;
    HANDLE thread = CreateThread(nullptr, 0, routine, argument, creationFlags, nullptr);
    if (thread == nullptr) FreeLibrary(held);
    return thread;
}

void EndWorkerThread(DWORD code) {
    HMODULE held = ReferenceThisModule(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT);
    if (held != nullptr) FreeLibraryAndExitThread(held, code);
    ExitThread(code);
}

bool WaitForWorkerThread(HANDLE thread, DWORD timeoutMs) {
    if (thread == nullptr) return true;
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
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void ForgetEndedThread(HANDLE *thread) {
    if (*thread == nullptr || WaitForSingleObject(*thread, 0) != WAIT_OBJECT_0) return;
    CloseHandle(*thread);
    *thread = nullptr;
}
