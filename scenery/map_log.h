// DrovanaMap.log beside the installed files: which Scenery.CFG was read and
// one line per file or airport left out and why. Written anew at every
// start and held to a bound, since a broken library may skip thousands.
// Where the simulator folder's DrovanaX\ refuses it, the log goes to the
// pilot's own DrovanaX folder and says so in its first line.
#ifndef DROVANA_SCENERY_MAP_LOG_H
#define DROVANA_SCENERY_MAP_LOG_H

#include <windows.h>

#include "airport_map.h"

class MapLog : public MapNotes {
public:
    // Opens DrovanaMap.log as CreateDrovanaFile places it; without it, lines
    // go nowhere.
    explicit MapLog(const char *simFolder);
    ~MapLog();
    MapLog(const MapLog &) = delete;
    MapLog &operator=(const MapLog &) = delete;

    void Skipped(const char *file, const char *icao, const char *why) override;
    void Library(const char *text) override;
    void Line(const char *text);

private:
    HANDLE file_;
    size_t written_;
    bool full_;
};

const size_t kMapLogMaxBytes = 2u << 20;

// <simFolder>DrovanaX\<name>; false when it does not fit.
bool DrovanaFile(const char *simFolder, const char *name, char *path, size_t size);

// Where CreateDrovanaFile put a file.
struct DrovanaFilePlace {
    char path[MAX_PATH];     // the file made; empty when none could be
    char refused[MAX_PATH];  // <simFolder>DrovanaX\<name> when it refused the file; else empty
    DWORD error;             // why it refused
};

// Makes the file name anew in <simFolder>DrovanaX\ (the folder made if
// missing) or, where that refuses it (a folder under Program Files the pilot
// may not write), in the pilot's own DrovanaX folder (PilotDataFolder).
// INVALID_HANDLE_VALUE when neither takes it.
HANDLE CreateDrovanaFile(const char *simFolder, const char *name, DWORD share, DrovanaFilePlace *place);

#endif
