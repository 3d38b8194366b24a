// The modeless "DrovanaX setting" dialog, on a thread of its own.
#ifndef DROVANA_ADDON_DIALOG_SETTINGS_DIALOG_H
#define DROVANA_ADDON_DIALOG_SETTINGS_DIALOG_H

#include <windows.h>

DWORD WINAPI SettingDialogThread(LPVOID owner);

#endif
