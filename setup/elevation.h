// The simulator folder is often under Program Files, which only an
// administrator may write, while dll.xml lives in the pilot's own profile. So
// the program runs as the pilot (asInvoker) and hands only the folder's files
// to a second run of itself, started with the administrator prompt, when the
// folder refuses the pilot. An administrator's run may be another account
// with another application-data folder: that run never touches dll.xml.
#ifndef DROVANA_SETUP_ELEVATION_H
#define DROVANA_SETUP_ELEVATION_H

#include <windows.h>

#include "command_line.h"

// The folder refuses to let this process create a file in it, and the
// process is not already elevated.
bool FolderNeedsAdministrator(const char *simFolder);

// Runs this program again with "runas" and /filesonly /S and the same job for
// the count folders (a '|' list), so a run asks at most once, and gives each
// folder's code in codes. Every folder gets SETUP_CANCELLED when the prompt
// was refused, and SETUP_WRITE_FAILED when the run could not be started or
// did not finish (a crash or a kill ends it with a code of no meaning here).
void RunFilesAsAdministrator(const SetupOptions &options, const char *folders, int count, int *codes);

// The administrator's run's exit code: each folder's code in three bits, the
// first folder's lowest, under a mark that only a run that finished writes.
DWORD PackAdministratorCodes(const int *codes, int count);
// Any exit code without the mark is a failure for every folder.
void UnpackAdministratorCodes(DWORD exitCode, int count, int *codes);

#endif
