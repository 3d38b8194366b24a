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

// Finds the simulator's installation folder and forms the configuration
// file's path and the player's command line from it. The folder is the one of
// the program that loaded the add-on (fsx.exe's or Prepar3D.exe's): with two
// simulators installed, the registry's SetupPath may name the other one. The
// registry (the first simulator of the editions table that has a machine
// value) is read only when the program's path cannot be had. A folder that leaves no
// room for either file name counts as unreadable (bare file names), so no
// truncated name is ever formed.
void ReadSetupPath();
// The same from a given program path; NULL stands for one that cannot be had.
void UseSimulatorFolder(const char *programPath);
void FormPlayerCommandLine(char (&commandLine)[256]);

#endif
