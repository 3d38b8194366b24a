// The scenery library of one simulator: which Scenery.CFG describes it, the
// areas that file lists, and the BGL files each active area holds.
#ifndef DROVANA_SCENERY_SCENERY_CFG_H
#define DROVANA_SCENERY_SCENERY_CFG_H

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

struct SceneryArea {
    int number;  // of its [Area.NNN] section: only a key, and hand edits repeat them
    int layer;   // a higher layer loads later and wins
    bool active;
    std::string title;  // as written (often Windows-1252)
    std::string local;  // as written: relative to the simulator's folder, or absolute
};

// Every [Area.NNN] section of a Scenery.CFG text in the order written, each
// section its own area even when its number repeats. An area without Layer
// takes its number; without Active it is inactive.
std::vector<SceneryArea> ParseSceneryCfg(const char *text, size_t length);

// The areas to read, active ones only, lowest layer first; areas of one layer
// in the order written.
std::vector<SceneryArea> AreasInLoadOrder(const std::vector<SceneryArea> &areas);

// The area's folder as a full path with a trailing backslash: a relative
// Local joined to simFolder (which ends in a backslash).
bool AreaFolder(const char *simFolder, const char *local, char *folder, size_t size);

// A BGL file as its folder's listing gives it: the size and write time come
// free with the name, and tell a changed file without opening it.
struct BglFileEntry {
    std::string path;
    uint64_t size;
    uint64_t writeTime;  // FILETIME
};

// The BGL files directly in <areaFolder>scenery\ (no deeper), sorted by name
// the way Windows compares them; empty when the folder is missing.
std::vector<BglFileEntry> AreaBglFiles(const char *areaFolder);

// The places a Scenery.CFG of the simulator at simFolder may be, its own
// first: <ProgramData>\<the folder the editions table gives it for its
// dll.xml>\Scenery.CFG; then the other FSX edition's, or for Prepar3D the same
// folder under the pilot's application data. simulator gets which simulator
// that is and how it was known, for the log. Returns the count.
int SceneryCfgCandidates(const char *simFolder, std::string candidates[2], std::string *simulator);

#endif
