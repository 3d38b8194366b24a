#include "unload_watch.h"

#include <psapi.h>

#include "trace.h"

namespace {

// Read by the exception handler, which may run on any thread.
volatile ULONG_PTR rangeStart = 0;
volatile ULONG_PTR rangeEnd = 0;
volatile LONG faultsInside = 0;
volatile ULONG_PTR firstFaultAddress = 0;
int callsStopped = 0;
bool watching = false;
bool stillLoaded = false;
PVOID handler = nullptr;

bool Inside(ULONG_PTR address) { return rangeEnd != 0 && address >= rangeStart && address < rangeEnd; }

LONG CALLBACK SeeFault(EXCEPTION_POINTERS *pointers) {
    const EXCEPTION_RECORD *record = pointers->ExceptionRecord;
    ULONG_PTR address = reinterpret_cast<ULONG_PTR>(record->ExceptionAddress);
    // An execute fault names the unmapped target as the faulting data address.
    if (!Inside(address) && record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2)
        address = record->ExceptionInformation[1];
    if (Inside(address)) {
        if (InterlockedIncrement(&faultsInside) == 1) firstFaultAddress = address;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

void NoteCall(const char *kind, ULONG_PTR address) {
    ++callsStopped;
    JsonLine record = Record("after_unload_call");
    record.Str("kind", kind).Int("offset", static_cast<long long>(address - rangeStart));
    Emit(record);
}

}  // namespace

void UnloadAndWatch(HMODULE module) {
    MODULEINFO info;
    if (!GetModuleInformation(GetCurrentProcess(), module, &info, sizeof info)) return;
    rangeStart = reinterpret_cast<ULONG_PTR>(info.lpBaseOfDll);
    rangeEnd = rangeStart + info.SizeOfImage;
    handler = AddVectoredExceptionHandler(1, SeeFault);
    const BOOL freed = FreeLibrary(module);
    HMODULE left = nullptr;
    stillLoaded = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                     reinterpret_cast<LPCSTR>(rangeStart), &left) != 0;
    watching = true;
    JsonLine record = Record("unload");
    record.Bool("freed", freed != 0).Bool("still_loaded", stillLoaded);
    Emit(record);
}

bool MayDispatchAfterUnload(const MSG &message) {
    if (!watching) return true;
    if (message.message == WM_TIMER && message.lParam != 0 && Inside(static_cast<ULONG_PTR>(message.lParam))) {
        NoteCall("timer", static_cast<ULONG_PTR>(message.lParam));
        return false;
    }
    if (message.hwnd != nullptr) {
        const ULONG_PTR procedure = static_cast<ULONG_PTR>(GetWindowLongPtrA(message.hwnd, GWLP_WNDPROC));
        if (Inside(procedure)) {
            NoteCall("window_procedure", procedure);
            return false;
        }
    }
    return true;
}

void CheckWindowAfterUnload(HWND window) {
    if (!watching || !IsWindow(window)) return;
    const ULONG_PTR procedure = static_cast<ULONG_PTR>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    if (!Inside(procedure)) return;
    NoteCall("window_procedure_left", procedure);
    SetWindowLongPtrA(window, GWLP_WNDPROC, GetClassLongPtrA(window, GCLP_WNDPROC));
}

bool ReportAfterUnload() {
    if (!watching) return true;
    HMODULE left = nullptr;
    const bool loaded =
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(rangeStart), &left) != 0;
    JsonLine record = Record("after_unload");
    record.Int("calls", callsStopped).Int("faults", faultsInside).Bool("still_loaded", loaded);
    if (faultsInside != 0) record.Int("fault_offset", static_cast<long long>(firstFaultAddress - rangeStart));
    Emit(record);
    if (handler != nullptr) RemoveVectoredExceptionHandler(handler);
    handler = nullptr;
    return callsStopped == 0 && faultsInside == 0 && !loaded;
}
