// The loader's entry notification: only the instance is needed, to load the
// dialog template later.
#include <windows.h>

#include "core/state.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
    PushbackState.moduleInstance = instance;
    return TRUE;
}
