// What DrovanaX writes in a simulator folder as the simulator runs: the
// add-on its settings and corrections into Drovana.cfg, the map program its
// log, index and reports into DrovanaX\. Under Program Files only an
// administrator may write there, and the map program runs as the pilot with
// no file virtualisation, so the install gives the pilot who runs it the
// right to change those two places, and nothing else of the folder.
#ifndef DROVANA_SETUP_PILOT_ACCESS_H
#define DROVANA_SETUP_PILOT_ACCESS_H

#include <windows.h>

#include <stddef.h>

// The account this program runs as, as a SID string ("S-1-5-21-..."); false
// when it cannot be had or does not fit.
bool CurrentAccountSid(char *text, size_t size);

// Grants the account of sid (a SID string; empty: this program's own) read,
// write and delete on <simFolder>DrovanaX\, inherited by what is in it and
// what is made in it later, and on <simFolder>Drovana.cfg when there is one.
// 0, or the first Windows error, with the path it failed on.
DWORD GrantPilotWrites(const char *simFolder, const char *sid, char *failedPath, size_t size);

#endif
