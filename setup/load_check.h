// Whether the simulator will load DrovanaX.dll on this machine. The DLL binds
// the SimConnect client assembly through its manifest; where that assembly is
// missing, the simulator silently loads no add-on, and the pilot is left
// guessing. The check builds the activation context from the DLL's manifest
// as the loader does, without loading the DLL (a 32-bit setup can check the
// DLL of either build, and no add-on code runs outside the simulator).
#ifndef DROVANA_SETUP_LOAD_CHECK_H
#define DROVANA_SETUP_LOAD_CHECK_H

#include <windows.h>

#include <stddef.h>

enum LoadCheck {
    LOAD_RESOLVES,  // every assembly the manifest names is there (or it names none)
    LOAD_ASSEMBLY_MISSING,
    LOAD_NOT_CHECKED,  // the DLL could not be read: error says why
};

// The SimConnect version DrovanaX.dll's manifest names.
extern const char kSimConnectVersion[];

// simFolder\DrovanaX.dll, with its private assemblies looked for beside it.
LoadCheck CheckAddonLoads(const char *simFolder, DWORD *error);

// The first SimConnect.msi under simFolder\under (the FSX editions' SDK, or
// Prepar3D's redistributables, install the assembly with it); false when
// there is none.
bool FindSimConnectInstaller(const char *simFolder, const char *under, char *path, size_t size);

#endif
