// The simulator's main window procedure, replaced so the add-on sees and steers
// the pushback keys before the simulator does.
#ifndef DROVANA_ADDON_PUSHBACK_WINDOW_HOOK_H
#define DROVANA_ADDON_PUSHBACK_WINDOW_HOOK_H

#include <windows.h>

void InstallSimWindowHook();
// Gives the simulator's window its own procedure back, if ours is still the
// one it calls: the module may be unloaded after DLLStop.
void RemoveSimWindowHook();
LRESULT CALLBACK SimWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
