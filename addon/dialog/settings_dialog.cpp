#include "settings_dialog.h"

#include "../core/state.h"

DWORD WINAPI SettingDialogThread(LPVOID /*owner*/) {
    SimConnect_SetSystemState(PushbackState.simConnect, "DialogMode", 0, 0.0f, NULL);
    PushbackState.dialogThread = NULL;
    return 0;
}
