// The key an aircraft is known by: the base name of its file path.
#ifndef DROVANA_ADDON_CORE_AIRCRAFT_KEY_H
#define DROVANA_ADDON_CORE_AIRCRAFT_KEY_H

#include <stddef.h>

struct PathParts {
    char drive[256];
    char folder[256];
    char baseName[256];
    char extension[256];
};

// Splits a Windows path the usual way: "C:" drive, folder up to the last '\' or
// '/', base name up to the last dot of the rest, extension from that dot. Each
// part longer than 255 characters is cut, never across a double-byte character.
void SplitPath(const char *path, PathParts *parts);

#endif
