// DrovanaMap.log beside the installed files: which Scenery.CFG was read and
// one line per file or airport left out and why. Written anew at every
// start and held to a bound, since a broken library may skip thousands.
#ifndef DROVANA_SCENERY_MAP_LOG_H
#define DROVANA_SCENERY_MAP_LOG_H

#include <windows.h>

#include "airport_map.h"

class MapLog : public MapNotes {
public:
    // Opens <simFolder>DrovanaX\DrovanaMap.log (the folder made if missing);
    // without it, lines go nowhere.
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

#endif
