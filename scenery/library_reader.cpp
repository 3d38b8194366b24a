#include "library_reader.h"

#include <stdio.h>
#include <string.h>

#include "scenery_cfg.h"

namespace {

bool ReadFileStart(HANDLE file, size_t count, std::vector<uint8_t> *bytes) {
    bytes->resize(count);
    size_t done = 0;
    while (done < count) {
        DWORD got = 0;
        if (!ReadFile(file, bytes->data() + done, static_cast<DWORD>(count - done), &got, NULL) || got == 0) break;
        done += got;
    }
    bytes->resize(done);
    return done == count;
}

}  // namespace

bool ReadBglFile(const char *path, BglFileContents *contents, char *why, size_t whySize) {
    contents->airports.clear();
    contents->skippedAirports.clear();
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        snprintf(why, whySize, "cannot be opened (error %lu)", GetLastError());
        return false;
    }
    // Most files of a library are terrain and objects: their section table
    // says so, and the rest of them is never read.
    LARGE_INTEGER fileSize = {};
    GetFileSizeEx(file, &fileSize);
    std::vector<uint8_t> start;
    const size_t headerSize = 0x38;
    size_t tableEnd = 0;
    if (ReadFileStart(file, headerSize, &start)) tableEnd = BglSectionTableEnd(start.data(), start.size());
    const bool tableFits = tableEnd > 0 && static_cast<unsigned long long>(tableEnd) <=
                                               static_cast<unsigned long long>(fileSize.QuadPart);
    const bool tableRead = tableFits && tableEnd <= kMaxBglBytes &&
                           SetFilePointer(file, 0, NULL, FILE_BEGIN) == 0 && ReadFileStart(file, tableEnd, &start);
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
    if (!BglHasAirports(start.data(), start.size())) return true;
    std::vector<uint8_t> whole;
    if (!ReadWholeFile(path, kMaxBglBytes, &whole)) {
        snprintf(why, whySize, "cannot be read, or larger than %u MB", static_cast<unsigned>(kMaxBglBytes >> 20));
        return false;
    }
    return ReadBglAirports(whole.data(), whole.size(), contents, why, whySize);
}

void ReadAreas(const char *simFolder, const char *cfgText, size_t cfgLength, AirportMap *map, MapNotes *notes,
               volatile LONG *stop) {
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
        for (const std::string &path : AreaBglFiles(folder)) {
            if (stop != nullptr && *stop) return;
            BglFileContents contents;
            char why[kBglWhySize];
            if (!ReadBglFile(path.c_str(), &contents, why, sizeof why)) {
                notes->Skipped(path.c_str(), "", why);
                continue;
            }
            map->AddFile(path.c_str(), area.layer, contents, notes);
        }
    }
}

bool ReadSceneryLibrary(const char *simFolder, AirportMap *map, MapNotes *notes, volatile LONG *stop) {
    std::string candidates[2];
    const int count = SceneryCfgCandidates(simFolder, candidates);
    return ReadFirstSceneryCfg(simFolder, candidates, count, map, notes, stop);
}

bool ReadFirstSceneryCfg(const char *simFolder, const std::string *candidates, int count, AirportMap *map,
                         MapNotes *notes, volatile LONG *stop) {
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
        ReadAreas(simFolder, reinterpret_cast<const char *>(text.data()), text.size(), map, notes, stop);
        map->Compact();
        return true;
    }
    notes->Library("no Scenery.CFG read: the map knows no airport");
    return false;
}
