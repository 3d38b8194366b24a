// The copy of DrovanaSetup.exe kept in a simulator folder's DrovanaX folder,
// which the Apps & features entry runs. It cannot remove itself and its
// folder while it runs, so it hands the job to a copy of itself in the
// temporary folder and waits for that copy's result, which it ends with (a
// script sees the uninstall's own code). The temporary copy removes
// everything but the kept copy, tells it the result, waits for it to end,
// then removes it and the folders it leaves empty. The temporary copy is
// left for the system's clean-up of that folder, or removed by a later
// hand-over.
#ifndef DROVANA_SETUP_KEPT_COPY_H
#define DROVANA_SETUP_KEPT_COPY_H

#include <windows.h>

// This program is the kept copy: its folder holds the installed-files list
// and no DrovanaX.dll (the package has one beside DrovanaSetup.exe).
bool RunsAsKeptCopy();

// Copies this program to the temporary folder, starts it with
// /after=<this process> and the same arguments, and returns the result it
// tells; SETUP_WRITE_FAILED when it could not start or ended without one.
int HandOverToTemporaryCopy(const char *arguments);

// The temporary copy's side: tells the kept copy (the process of /after=)
// the result, then waits, at most a minute, for it to end, and removes it
// from the simulator folder when DrovanaX has been removed from there.
void FinishHandOver(DWORD keptProcess, int code, const char *simFolder);

#endif
