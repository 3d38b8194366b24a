// The copy of DrovanaSetup.exe kept in a simulator folder's DrovanaX folder,
// which the Apps & features entry runs. It cannot remove itself and its
// folder while it runs, so it hands the job to a copy of itself in the
// temporary folder and ends; that copy waits for it to end, then works.
// The temporary copy is left for the system's clean-up of that folder, or
// removed by a later hand-over.
#ifndef DROVANA_SETUP_KEPT_COPY_H
#define DROVANA_SETUP_KEPT_COPY_H

#include <windows.h>

// This program is the kept copy: its folder holds the installed-files list
// and no DrovanaX.dll (the package has one beside DrovanaSetup.exe).
bool RunsAsKeptCopy();

// Copies this program to the temporary folder and starts it with
// /after=<this process> and the same arguments. SETUP_DONE when started.
int HandOverToTemporaryCopy(const char *arguments);

// Waits, at most a minute, for the process to end.
void WaitForProcessEnd(DWORD processId);

#endif
