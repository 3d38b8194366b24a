// The per-user Apps & features entry of each edition DrovanaX is installed
// in (HKCU ...\CurrentVersion\Uninstall, since the install runs as the pilot).
// Its key is made from the folder, so a reinstall updates the entry and two
// folders never share one.
#ifndef DROVANA_SETUP_APPS_ENTRY_H
#define DROVANA_SETUP_APPS_ENTRY_H

#include <stddef.h>

#include "editions.h"

// The version the entry shows (the version block's).
extern const char kDrovanaVersion[];

// "Software\Microsoft\Windows\CurrentVersion\Uninstall\DrovanaX-<8 hex digits>"
bool EntryKeyOf(const char *simFolder, char *key, size_t size);

// Writes or updates the entry; installedBytes gives EstimatedSize.
bool RegisterAppsEntry(const FoundEdition &target, unsigned long long installedBytes);

// Deletes it; true when there is none afterwards.
bool RemoveAppsEntry(const char *simFolder);

#endif
