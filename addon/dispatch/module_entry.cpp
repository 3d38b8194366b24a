#include "module_entry.h"

#include <windows.h>

#include "../core/connection.h"
#include "../core/state.h"
#include "../dialog/settings_dialog.h"
#include "../map/map_question.h"
#include "../pushback/menu_commands.h"
#include "../pushback/window_hook.h"
#include "../sound/player_link.h"
#include "../sound/sound_request.h"
#include "dispatch.h"

namespace {

// How long DLLStop waits for each worker thread to end; one still busy after
// that (a player slow to take a file) holds the module until it is done.
const DWORD kThreadEndWaitMs = 2000;

}  // namespace

int __stdcall DLLStart(void) {
    if (!OpenConnection()) return 0;

    PushbackState.soundStopping = 0;
    ReadSetupPath();
    StartPlayer();
    StartMapLink();
    SimConnect_CallDispatch(PushbackState.simConnect, SimConnectDispatch, nullptr);
    return 0;
}

// The simulator may unload the module as soon as this returns: nothing of it
// may run afterwards, whatever was going on (a run, a measurement, a cue, the
// dialog open) and even when the connection never opened.
void __stdcall DLLStop(void) {
    RemoveSimWindowHook();
    EndRunsForUnload();
    EndStartedPlayer();
    EndMapLink();
    EndSettingDialog(kThreadEndWaitMs);
    EndSoundThread(kThreadEndWaitMs);
    CloseConnection();
}
