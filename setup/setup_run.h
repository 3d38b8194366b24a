// One install or removal from start to end, in the order that keeps
// everything whole: dll.xml is read and checked first (a file that would be
// refused stops the run before any file changes), then the simulator
// folder's files are swapped all or nothing, then dll.xml is replaced.
#ifndef DROVANA_SETUP_SETUP_RUN_H
#define DROVANA_SETUP_SETUP_RUN_H

#include <windows.h>

#include "command_line.h"

struct SetupPlaces {
    char packageFolder[MAX_PATH];  // with DrovanaX.dll, Kestrola.exe, Drovana.cfg, dll.xml, DrovanaX\Sounds
    char simFolder[MAX_PATH];
    char dllXml[MAX_PATH];         // unused with /filesonly
};

// A SetupExit code; report holds what the closing box says.
int RunSetup(const SetupOptions &options, const SetupPlaces &places, char *report, size_t reportSize);

#endif
