// The one SimConnect dispatch callback, through which everything the add-on
// does begins: it routes each message to the room that handles it.
#ifndef DROVANA_ADDON_DISPATCH_DISPATCH_H
#define DROVANA_ADDON_DISPATCH_DISPATCH_H

#include <windows.h>
#include "SimConnect.h"

void CALLBACK SimConnectDispatch(SIMCONNECT_RECV *message, DWORD messageSize, void *context);

#endif
