// Reads the scenery library of the simulator in a folder into an AirportMap:
// its Scenery.CFG, the active areas lowest layer first, the BGL files of
// each area's scenery folder.
#ifndef DROVANA_SCENERY_LIBRARY_READER_H
#define DROVANA_SCENERY_LIBRARY_READER_H

#include <windows.h>

#include <string>

#include "airport_map.h"
#include "map_index.h"

// Files larger than this are not airport files worth a 32-bit address space.
const size_t kMaxBglBytes = 64u << 20;
const size_t kMaxSceneryCfgBytes = 4u << 20;

// One BGL file from disk: only its header and section table when it holds no
// airports (*holdsAirports, when given, says whether it does). False when it
// cannot be read or is damaged (why says which).
bool ReadBglFile(const char *path, BglFileContents *contents, char *why, size_t whySize, bool *holdsAirports = nullptr);

// The index a start read and the one its reading made, kept until the new
// one is written: the records of the new one may lie in the old one's bytes.
struct LibraryIndex {
    char path[MAX_PATH] = "";
    MapIndex known, seen;
    bool due = false;  // the library differs from the index read
};

// The whole library of the simulator at simFolder (trailing backslash), with
// the index in its DrovanaX folder when that folder is there: files the index
// knows unchanged are not opened (their airports come from the index), and
// the index is written anew when the library differs from it - at once, or,
// with later, by WriteLibraryIndex once the map answers.
// stop, when set, ends the reading between two files. False when no
// Scenery.CFG could be read; the map then holds nothing.
bool ReadSceneryLibrary(const char *simFolder, AirportMap *map, MapNotes *notes, volatile LONG *stop,
                        LibraryIndex *later = nullptr);

// The first of the candidate Scenery.CFG files that can be read, the log
// saying which.
bool ReadFirstSceneryCfg(const char *simFolder, const std::string *candidates, int count, AirportMap *map,
                         MapNotes *notes, volatile LONG *stop, LibraryIndex *later = nullptr);

// The new index when it is due; false (the notes told) when it could not be
// written.
bool WriteLibraryIndex(LibraryIndex *index, MapNotes *notes);

// The same from one Scenery.CFG text, for tests and for both editions. With
// seen, every file read is listed in it, an airport file with what the map
// took of it; with known too, files known unchanged are not opened (and
// listed in seen as known, their records borrowed from known).
void ReadAreas(const char *simFolder, const char *cfgText, size_t cfgLength, AirportMap *map, MapNotes *notes,
               volatile LONG *stop, const MapIndex *known = nullptr, MapIndex *seen = nullptr);

#endif
