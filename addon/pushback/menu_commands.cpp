#include "menu_commands.h"

#include "../core/identifiers.h"
#include "../core/state.h"

void OnSimEvent(const SIMCONNECT_RECV_EVENT *event) {
    switch (event->uEventID) {
    case EVENT_SIM_START:
        SimConnect_RequestSystemState(PushbackState.simConnect, REQ_AIRCRAFT_LOADED, "AircraftLoaded");
        break;
    default:
        break;
    }
}

void StartPushback() {}
