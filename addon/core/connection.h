// The add-on's spine: module start and stop, the SimConnect connection and
// the one dispatch callback through which everything else begins.
#ifndef DROVANA_ADDON_CORE_CONNECTION_H
#define DROVANA_ADDON_CORE_CONNECTION_H

#include <windows.h>
#include "SimConnect.h"

extern "C" {
__declspec(dllexport) int __stdcall DLLStart(void);
__declspec(dllexport) void __stdcall DLLStop(void);
}

void CALLBACK SimConnectDispatch(SIMCONNECT_RECV *message, DWORD messageSize, void *context);

// Reached through the dispatch; exposed for the tests.
void OnOpen();
void OnSystemState(const SIMCONNECT_RECV_SYSTEM_STATE *reply);

// Reads the installation folder and forms the configuration file's path and
// the player's command line from it. A folder that leaves no room for either
// file name counts as unreadable, so no truncated name is ever formed.
void ReadSetupPath();
void FormPlayerCommandLine(char (&commandLine)[256]);

#endif
