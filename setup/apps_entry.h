// The per-user Apps & features entry of each edition DrovanaX is installed
// in (HKCU ...\CurrentVersion\Uninstall, since the install runs as the pilot).
// Its key is made from the folder (EntryKeyOf), so a reinstall updates the
// entry and two folders never share one; it remembers the edition installed
// for, which a later run, the uninstall and the map program take for the
// folder's.
#ifndef DROVANA_SETUP_APPS_ENTRY_H
#define DROVANA_SETUP_APPS_ENTRY_H

#include <stddef.h>

#include "editions.h"

// The version the entry shows (the version block's).
extern const char kDrovanaVersion[];

// Writes or updates the entry; installedBytes gives EstimatedSize.
bool RegisterAppsEntry(const FoundEdition &target, unsigned long long installedBytes);

// Deletes it; true when there is none afterwards.
bool RemoveAppsEntry(const char *simFolder);

#endif
