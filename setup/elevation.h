// The simulator folder is often under Program Files, which only an
// administrator may write, while dll.xml lives in the pilot's own profile. So
// the program runs as the pilot (asInvoker) and hands only the folder's files
// to a second run of itself, started with the administrator prompt, when the
// folder refuses the pilot. An administrator's run may be another account
// with another application-data folder: that run never touches dll.xml.
#ifndef DROVANA_SETUP_ELEVATION_H
#define DROVANA_SETUP_ELEVATION_H

#include "command_line.h"

// The folder refuses to let this process create a file in it, and the
// process is not already elevated.
bool FolderNeedsAdministrator(const char *simFolder);

// Runs this program again with "runas" and /filesonly /S and the same job for
// the folders (a '|' list), so a run asks at most once; returns its exit
// code. started is false when it never ran: the prompt was refused
// (SETUP_CANCELLED) or the run could not be started.
int RunFilesAsAdministrator(const SetupOptions &options, const char *folders, bool *started);

#endif
