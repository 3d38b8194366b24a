#include "library_reader.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "map_index.h"
#include "map_log.h"
#include "scenery_cfg.h"
#include "whole_file.h"

namespace {

// Reads bytes [have, count) of the open file into *bytes.
bool ReadOn(HANDLE file, size_t count, std::vector<uint8_t> *bytes) {
    size_t done = bytes->size();
    bytes->resize(count);
    while (done < count) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 20));
        if (!ReadFile(file, bytes->data() + done, want, &got, nullptr) || got == 0) break;
        done += got;
    }
    bytes->resize(done);
    return done == count;
}

// The index lives beside the log, in a DrovanaX folder the installer (or the
// map program's log) made; a library read without one keeps no index.
bool IndexPath(const char *simFolder, char *path, size_t size) {
    char folder[MAX_PATH];
    if (!DrovanaFile(simFolder, "", folder, sizeof folder)) return false;
    const DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    return DrovanaFile(simFolder, kMapIndexName, path, size);
}

}  // namespace

bool ReadBglFile(const char *path, BglFileContents *contents, char *why, size_t whySize, bool *holdsAirports) {
    if (holdsAirports != nullptr) *holdsAirports = false;
    contents->airports.clear();
    contents->skippedAirports.clear();
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        snprintf(why, whySize, "cannot be opened (error %lu)", GetLastError());
        return false;
    }
    // Most files of a library are terrain and objects: their section table
    // says so, and the rest of them is never read. The file is opened once
    // and its start read in one go, as a library's opens are what a start
    // costs.
    LARGE_INTEGER fileSize = {};
    if (!GetFileSizeEx(file, &fileSize) || fileSize.QuadPart < 0) fileSize.QuadPart = 0;
    const unsigned long long size = static_cast<unsigned long long>(fileSize.QuadPart);
    const size_t kFirstRead = 4096;
    std::vector<uint8_t> bytes;
    ReadOn(file, static_cast<size_t>(std::min<unsigned long long>(size, kFirstRead)), &bytes);
    const size_t tableEnd = BglSectionTableEnd(bytes.data(), bytes.size());
    const bool tableRead = tableEnd > 0 && tableEnd <= size && tableEnd <= kMaxBglBytes &&
                           (tableEnd <= bytes.size() || ReadOn(file, tableEnd, &bytes));
    const bool airports = tableRead && BglHasAirports(bytes.data(), tableEnd);
    const bool wholeRead = airports && size <= kMaxBglBytes && ReadOn(file, static_cast<size_t>(size), &bytes);
    CloseHandle(file);
    if (tableEnd == 0) {
        snprintf(why, whySize, "no BGL header");
        return false;
    }
    if (!tableRead) {
        snprintf(why, whySize, "its section table does not fit in its %llu bytes",
                 static_cast<unsigned long long>(fileSize.QuadPart));
        return false;
    }
    if (!airports) return true;
    if (holdsAirports != nullptr) *holdsAirports = true;
    if (!wholeRead) {
        snprintf(why, whySize, "cannot be read, or larger than %u MB", static_cast<unsigned>(kMaxBglBytes >> 20));
        return false;
    }
    return ReadBglAirports(bytes.data(), bytes.size(), contents, why, whySize);
}

void ReadAreas(const char *simFolder, const char *cfgText, size_t cfgLength, AirportMap *map, MapNotes *notes,
               volatile LONG *stop, const MapIndex *known, MapIndex *seen) {
    if (seen == nullptr) known = nullptr;
    char line[MAX_PATH + 200];
    const std::vector<SceneryArea> areas = ParseSceneryCfg(cfgText, cfgLength);
    for (size_t i = 0; i < areas.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (areas[j].number != areas[i].number) continue;
            snprintf(line, sizeof line, "[Area.%03d] appears more than once; each is read as an area of its own",
                     areas[i].number);
            notes->Library(line);
            break;
        }
    }
    const std::vector<SceneryArea> order = AreasInLoadOrder(areas);
    snprintf(line, sizeof line, "%u areas, %u active", static_cast<unsigned>(areas.size()),
             static_cast<unsigned>(order.size()));
    notes->Library(line);
    for (const SceneryArea &area : order) {
        char folder[MAX_PATH];
        if (!AreaFolder(simFolder, area.local.c_str(), folder, sizeof folder)) {
            snprintf(line, sizeof line, "area %d (%s) skipped: Local \"%.*s\" is empty or too long", area.number,
                     area.title.c_str(), MAX_PATH, area.local.c_str());
            notes->Library(line);
            continue;
        }
        const DWORD attributes = GetFileAttributesA(folder);
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            snprintf(line, sizeof line, "area %d (%s) skipped: folder %s is missing", area.number, area.title.c_str(),
                     folder);
            notes->Library(line);
            continue;
        }
        for (const BglFileEntry &file : AreaBglFiles(folder)) {
            if (stop != nullptr && *stop) return;
            bool holdsAirports = true;
            const uint8_t *taken = nullptr;
            size_t takenSize = 0;
            if (known != nullptr && known->Known(file.path, file.size, file.writeTime, &holdsAirports, &taken,
                                                 &takenSize)) {
                if (!holdsAirports) {
                    seen->Add(file.path, file.size, file.writeTime, false);
                    continue;
                }
                // A report of one airport wants every line of its reading.
                if (taken != nullptr && !notes->TakesRead()) {
                    seen->AddBorrowed(file.path, file.size, file.writeTime, taken, takenSize);
                    map->AddTaken(file.path.c_str(), area.layer, taken, takenSize, notes);
                    continue;
                }
            }
            BglFileContents contents;
            char why[kBglWhySize];
            if (!ReadBglFile(file.path.c_str(), &contents, why, sizeof why, &holdsAirports)) {
                // Not indexed: a damaged file is looked at, and logged, at every start.
                notes->Skipped(file.path.c_str(), "", why);
                continue;
            }
            std::vector<uint8_t> took;
            const bool keep = seen != nullptr && holdsAirports;
            map->AddFile(file.path.c_str(), area.layer, contents, notes, keep ? &took : nullptr);
            if (keep)
                seen->Add(file.path, file.size, file.writeTime, std::move(took));
            else if (seen != nullptr)
                seen->Add(file.path, file.size, file.writeTime, false);
        }
    }
}

bool ReadSceneryLibrary(const char *simFolder, AirportMap *map, MapNotes *notes, volatile LONG *stop,
                        LibraryIndex *later) {
    std::string candidates[2];
    std::string simulator;
    const int count = SceneryCfgCandidates(simFolder, candidates, &simulator);
    notes->Library(("simulator: " + simulator).c_str());
    return ReadFirstSceneryCfg(simFolder, candidates, count, map, notes, stop, later);
}

bool ReadFirstSceneryCfg(const char *simFolder, const std::string *candidates, int count, AirportMap *map,
                         MapNotes *notes, volatile LONG *stop, LibraryIndex *later) {
    char line[2 * MAX_PATH + 100];
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> text;
        if (!ReadWholeFile(candidates[i].c_str(), kMaxSceneryCfgBytes, &text)) {
            snprintf(line, sizeof line, "no Scenery.CFG at %s", candidates[i].c_str());
            notes->Library(line);
            continue;
        }
        snprintf(line, sizeof line, "read %s%s", candidates[i].c_str(),
                 i > 0 ? " (the edition's own is missing)" : "");
        notes->Library(line);
        LibraryIndex now;
        LibraryIndex *index = later != nullptr ? later : &now;
        const bool indexed = IndexPath(simFolder, index->path, sizeof index->path);
        if (indexed) {
            char why[120];
            if (!index->known.Load(index->path, why, sizeof why)) {
                snprintf(line, sizeof line, "map index %s not used (%s): every file is opened", index->path, why);
                notes->Library(line);
            }
            // Most of the map comes from the index: room for it at once.
            map->Reserve(index->known.Taken());
        }
        ReadAreas(simFolder, reinterpret_cast<const char *>(text.data()), text.size(), map, notes, stop,
                  indexed ? &index->known : nullptr, indexed ? &index->seen : nullptr);
        index->due = indexed && !(stop != nullptr && *stop) && !index->seen.SameAs(index->known);
        if (!index->due) index->seen.Drop(), index->known.Drop();  // before Compact needs room
        map->Compact();
        if (later == nullptr) WriteLibraryIndex(index, notes);
        return true;
    }
    notes->Library("no Scenery.CFG read: the map knows no airport");
    return false;
}

bool WriteLibraryIndex(LibraryIndex *index, MapNotes *notes) {
    if (!index->due) return true;
    index->due = false;
    const bool written = index->seen.Save(index->path);
    index->seen.Drop(), index->known.Drop();
    if (written) return true;
    char line[MAX_PATH + 100];
    snprintf(line, sizeof line, "map index %s could not be written: the next start opens every file again",
             index->path);
    notes->Library(line);
    return false;
}
