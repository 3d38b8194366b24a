// The modeless "DrovanaX setting" dialog, on a thread of its own so that the
// simulator's main thread never waits for the user.
#ifndef DROVANA_ADDON_DIALOG_SETTINGS_DIALOG_H
#define DROVANA_ADDON_DIALOG_SETTINGS_DIALOG_H

#include <windows.h>

// Thread entry; owner is the simulator's main window. Runs the dialog until OK
// or CANCEL (or EndSettingDialog), then gives dialog mode back.
DWORD WINAPI SettingDialogThread(LPVOID owner);

// Starts the dialog's thread unless one still runs; the handle of one that
// has ended is closed first.
void StartSettingDialog(HWND owner);

// Closes a dialog that is open, as CANCEL would, and waits up to timeoutMs
// for its thread; one that takes longer holds the module until it ends.
void EndSettingDialog(DWORD timeoutMs);

INT_PTR CALLBACK SettingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Moves the window, keeping its size, to the middle of the desktop, on top,
// and shows it.
int CenterWindow(HWND window);

#endif
