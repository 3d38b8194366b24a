#include "dispatch.h"

#include <stddef.h>

#include "../core/connection.h"
#include "../core/identifiers.h"
#include "../core/state.h"
#include "../dialog/settings_dialog.h"
#include "../pushback/measurement.h"
#include "../pushback/menu_commands.h"
#include "../pushback/window_hook.h"

namespace {

void OnOpen() {
    InstallSimWindowHook();
    RegisterWithSimulator();
}

void OnSystemState(const SIMCONNECT_RECV_SYSTEM_STATE *reply) {
    switch (reply->dwRequestID) {
    case REQ_AIRCRAFT_LOADED:
        StoreAircraftKey(reply->szString);
        break;
    case REQ_DIALOG_MODE:
        StartSettingDialog(PushbackState.simWindow);
        break;
    default:
        break;
    }
}

}  // namespace

void CALLBACK SimConnectDispatch(SIMCONNECT_RECV *message, DWORD messageSize, void * /*context*/) {
    // A message shorter than the layout it claims is dropped, never read past.
    if (message == nullptr || messageSize < sizeof(SIMCONNECT_RECV)) return;
    switch (message->dwID) {
    case SIMCONNECT_RECV_ID_OPEN:
        OnOpen();
        break;
    case SIMCONNECT_RECV_ID_EVENT:
        if (messageSize >= sizeof(SIMCONNECT_RECV_EVENT))
            OnSimEvent(static_cast<SIMCONNECT_RECV_EVENT *>(message));
        break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA:
        if (messageSize >= SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET)
            UpdateSnapshot(static_cast<SIMCONNECT_RECV_SIMOBJECT_DATA *>(message), messageSize);
        break;
    case SIMCONNECT_RECV_ID_SYSTEM_STATE:
        if (messageSize >= sizeof(SIMCONNECT_RECV_SYSTEM_STATE))
            OnSystemState(static_cast<SIMCONNECT_RECV_SYSTEM_STATE *>(message));
        break;
    case SIMCONNECT_RECV_ID_EVENT_FILENAME:
        // The key is renewed only at the next SimStart; until then a
        // measurement must not take the new aircraft for the old one.
        if (messageSize >= sizeof(SIMCONNECT_RECV_EVENT) &&
            static_cast<SIMCONNECT_RECV_EVENT *>(message)->uEventID == EVENT_AIRCRAFT_LOADED) {
            NoteAircraftLoaded();
            TakeSimulatorStateAsFound();
        }
        break;
    case SIMCONNECT_RECV_ID_QUIT:
        // The simulator is going away: a run or measurement left to itself
        // would keep its timer ticking and its pushback moving.
        OnSimulatorQuit();
        break;
    default:
        break;
    }
}
