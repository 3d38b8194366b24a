// The modeless "DrovanaX setting" dialog, on a thread of its own so that the
// simulator's main thread never waits for the user.
#ifndef DROVANA_ADDON_DIALOG_SETTINGS_DIALOG_H
#define DROVANA_ADDON_DIALOG_SETTINGS_DIALOG_H

#include <windows.h>

// Thread entry; owner is the simulator's main window. Runs the dialog until OK
// or CANCEL, then gives dialog mode back and empties dialogThread.
DWORD WINAPI SettingDialogThread(LPVOID owner);

INT_PTR CALLBACK SettingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Moves the window, keeping its size, to the middle of the desktop, on top,
// and shows it.
int CenterWindow(HWND window);

#endif
