// The SimConnect connection and what the add-on registers over it, and the
// simulator's folder with the two files the add-on finds there. What each
// message leads to is the dispatch's (addon/dispatch).
#ifndef DROVANA_ADDON_CORE_CONNECTION_H
#define DROVANA_ADDON_CORE_CONNECTION_H

#include <windows.h>
#include "SimConnect.h"

// Opens the connection as "DrovanaX" into simConnect; false when the
// simulator refused it, and the add-on then stays inert.
bool OpenConnection();
// Anything still running finds no handle from then on; a second call closes
// nothing.
void CloseConnection();

// Once the connection is open: the menu, the data definitions, the system
// events and the requests for data every visual frame.
void RegisterWithSimulator();

// The reply to "AircraftLoaded": the path and the key the aircraft is known by.
void StoreAircraftKey(const char *reportedPath);

// Finds the simulator's installation folder and forms the configuration
// file's path and the player's command line from it. The folder is the one of
// the program that loaded the add-on (fsx.exe's or Prepar3D.exe's): with two
// simulators installed, the registry's SetupPath may name the other one. The
// registry (the first simulator of the editions table that has a machine
// value) is read only when the program's path cannot be had. A folder that leaves no
// room for either file name counts as unreadable (bare file names), so no
// truncated name is ever formed.
void ReadSetupPath();
// The same from a given program path; null stands for one that cannot be had.
void UseSimulatorFolder(const char *programPath);
void FormPlayerCommandLine(char (&commandLine)[256]);

#endif
