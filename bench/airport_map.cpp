// The airport map on a library of a default install's size (written by
// tools/scenery_library.py into the build tree), against the floor of any
// reader that looks at every file: list the areas' folders, open every BGL
// file and read its 56-byte header.
//   cold     the first answer after a start with no index
//   warm     a later answer (the slowest of several positions)
//   changed  the first answer after a start with one airport file changed
// The library is read as the map program's reading thread reads it, in this
// process, so that a program start under Wine does not blur the figures.
//   airport_map [LIBRARY_FOLDER]
//   airport_map LIBRARY_FOLDER --one-start [--no-index]
//       one start alone and the process's peak, as the map program has it
//       (the rounds above leave each other's freed memory in the heap)
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "library_reader.h"
#include "map_index.h"
#include "map_log.h"
#include "scenery_cfg.h"
#include "whole_file.h"

namespace {

struct Quiet : MapNotes {
    void Skipped(const char *, const char *, const char *) override {}
    void Library(const char *) override {}
};

double Now() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::string DefaultLibrary() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return "";
    char *slash = strrchr(path, '\\');
    if (slash == nullptr) return "";
    slash[1] = '\0';
    return std::string(path) + "airport_library\\";
}

std::vector<std::string> LibraryFiles(const std::string &folder, const std::string &cfg) {
    std::vector<std::string> files;
    std::vector<uint8_t> text;
    if (!ReadWholeFile(cfg.c_str(), kMaxSceneryCfgBytes, &text)) return files;
    for (const SceneryArea &area :
         AreasInLoadOrder(ParseSceneryCfg(reinterpret_cast<const char *>(text.data()), text.size()))) {
        char areaFolder[MAX_PATH];
        if (!AreaFolder(folder.c_str(), area.local.c_str(), areaFolder, sizeof areaFolder)) continue;
        for (const BglFileEntry &file : AreaBglFiles(areaFolder)) files.push_back(file.path);
    }
    return files;
}

// Every file opened and its header read: the least any reader that looks at
// each file pays.
double Floor(const std::string &folder, const std::string &cfg, size_t *count) {
    const double start = Now();
    const std::vector<std::string> files = LibraryFiles(folder, cfg);
    for (const std::string &path : files) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        uint8_t header[56];
        DWORD got = 0;
        ReadFile(file, header, sizeof header, &got, nullptr);
        CloseHandle(file);
    }
    *count = files.size();
    return Now() - start;
}

struct Position {
    char icao[8];
    double lat, lon;
};

std::vector<Position> Positions(const std::string &folder) {
    std::vector<Position> positions;
    FILE *file = fopen((folder + "positions.txt").c_str(), "r");
    if (file == nullptr) return positions;
    Position p = {};
    while (positions.size() < 20 && fscanf(file, "%7s %lf %lf", p.icao, &p.lat, &p.lon) == 3) positions.push_back(p);
    fclose(file);
    return positions;
}

// A start of the map program: the library read (with its index) and the
// first question answered; then, as the program does once the map answers,
// the index written if it is due (timed apart into *written).
double StartAndAnswer(const std::string &folder, const std::string &cfg, const Position &at, AirportMap *map,
                      MapAnswerHeader *header, std::vector<MapPath> *paths, std::vector<double> *written) {
    Quiet quiet;
    LibraryIndex index;
    const double start = Now();
    ReadFirstSceneryCfg(folder.c_str(), &cfg, 1, map, &quiet, nullptr, &index);
    header->questionId = 1;
    map->Answer(at.lat, at.lon, header, paths->data(), kMapMaxPaths);
    const double answered = Now();
    if (index.due) {
        WriteLibraryIndex(&index, &quiet);
        written->push_back(Now() - answered);
    }
    return answered - start;
}

// Under Wine the peak working set is the process's high-water resident
// memory (its private bytes are left at 0).
PROCESS_MEMORY_COUNTERS_EX Memory() {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&counters), sizeof counters);
    return counters;
}

// A new write time for the file, as an edit by a scenery tool gives it.
bool Touch(const std::string &path) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const bool done = SetFileTime(file, nullptr, nullptr, &now) != 0;
    CloseHandle(file);
    return done;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Fastest(const std::vector<double> &values) { return *std::min_element(values.begin(), values.end()); }

}  // namespace

int main(int argc, char **argv) {
    std::string folder = argc > 1 ? argv[1] : DefaultLibrary();
    if (!folder.empty() && folder[folder.size() - 1] != '\\') folder += "\\";
    const std::string cfg = folder + "Scenery.CFG";
    const std::vector<Position> positions = Positions(folder);
    if (positions.empty()) {
        printf("airport_map: no library at %s (the build writes it: target airport_library)\n", folder.c_str());
        return 1;
    }
    char index[MAX_PATH];
    if (!DrovanaFile(folder.c_str(), "", index, sizeof index)) return 1;
    CreateDirectoryA(index, nullptr);  // where the installer puts the log and the index
    if (!DrovanaFile(folder.c_str(), kMapIndexName, index, sizeof index)) return 1;
    const PROCESS_MEMORY_COUNTERS_EX before = Memory();
    if (argc > 2 && strcmp(argv[2], "--one-start") == 0) {
        if (argc > 3 && strcmp(argv[3], "--no-index") == 0) DeleteFileA(index);
        AirportMap map;
        MapAnswerHeader header = {};
        std::vector<MapPath> paths(kMapMaxPaths);
        std::vector<double> written;
        const double took = StartAndAnswer(folder, cfg, positions[0], &map, &header, &paths, &written);
        printf(
            "airport_map: one start %s: first answer in %.0f ms, index written in %.0f ms; map %u KB held; peak "
            "working set %u KB (%u KB before the read)\n",
            argc > 3 ? "without an index" : "with the index there", took, written.empty() ? 0.0 : written[0],
            static_cast<unsigned>(map.BytesHeld() >> 10), static_cast<unsigned>(Memory().PeakWorkingSetSize >> 10),
            static_cast<unsigned>(before.PeakWorkingSetSize >> 10));
        return 0;
    }

    size_t files = 0;
    Floor(folder, cfg, &files);  // the system's file cache, as at a second simulator start
    // A shared machine's load comes and goes: each figure is the median of
    // several rounds.
    const int kRounds = 5;
    std::vector<double> floors, colds, changes, fileReads, unchangeds, writes;
    std::vector<MapPath> paths(kMapMaxPaths);
    MapAnswerHeader header = {};
    double warm = 0;
    size_t airports = 0, held = 0;
    unsigned firstStatus = 0, firstPaths = 0;
    std::string changed;
    for (int round = 0; round < kRounds; ++round) {
        floors.push_back(Floor(folder, cfg, &files));
        DeleteFileA(index);
        AirportMap *map = new AirportMap();
        colds.push_back(StartAndAnswer(folder, cfg, positions[0], map, &header, &paths, &writes));
        if (round == 0) {
            airports = map->AirportCount(), held = map->BytesHeld();
            firstStatus = header.status, firstPaths = header.pathCount;
            changed = header.file;  // the airport file of the first position
            for (const Position &p : positions) {
                const double start = Now();
                header.questionId = 2;
                map->Answer(p.lat, p.lon, &header, paths.data(), kMapMaxPaths);
                const double took = Now() - start;
                if (took > warm) warm = took;
            }
        }
        delete map;

        // That file changed between two starts.
        Touch(changed);
        double fileRead = Now();
        {
            BglFileContents contents;
            char why[kBglWhySize];
            ReadBglFile(changed.c_str(), &contents, why, sizeof why);
        }
        fileReads.push_back(Now() - fileRead);
        map = new AirportMap();
        changes.push_back(StartAndAnswer(folder, cfg, positions[0], map, &header, &paths, &writes));
        delete map;
        map = new AirportMap();
        unchangeds.push_back(StartAndAnswer(folder, cfg, positions[0], map, &header, &paths, &writes));
        delete map;
    }
    const double floor = Median(floors), cold = Median(colds), afterChange = Median(changes);
    const double fileRead = Median(fileReads), unchanged = Median(unchangeds);

    printf(
        "airport_map: %u files, %u airports with a network (%u KB held); first answer %s %s, %u paths; "
        "medians of %d rounds\n",
        static_cast<unsigned>(files), static_cast<unsigned>(airports), static_cast<unsigned>(held >> 10),
        firstStatus == MAP_AIRPORT ? "airport" : "no airport", positions[0].icao, firstPaths, kRounds);
    // The fastest round is what the code costs; the median what this
    // machine's load let it have.
    printf("                                                  median   fastest\n");
    printf("  floor (list, open every file, read its header)  %6.0f ms %6.0f ms\n", floor, Fastest(floors));
    printf(
        "  cold (no index)                                 %6.0f ms %6.0f ms  %.2f x floor (fastest %.2f; goal at "
        "most 3)\n",
        cold, Fastest(colds), cold / floor, Fastest(colds) / Fastest(floors));
    printf("  warm (slowest of %2u positions)                 %6.1f ms            (goal under 50)\n",
           static_cast<unsigned>(positions.size()), warm);
    printf(
        "  one file changed                                %6.0f ms %6.0f ms  goal at most %.0f (fastest: %.0f): "
        "warm + its read %.1f + 1.5 x floor\n",
        afterChange, Fastest(changes), warm + fileRead + 1.5 * floor, warm + Fastest(fileReads) + 1.5 * Fastest(floors),
        fileRead);
    printf("  no file changed                                 %6.0f ms %6.0f ms\n", unchanged, Fastest(unchangeds));
    WIN32_FILE_ATTRIBUTE_DATA indexFile = {};
    GetFileAttributesExA(index, GetFileExInfoStandard, &indexFile);
    printf("  index written after the answer (%u KB)          %6.0f ms %6.0f ms  (%u writes)\n",
           static_cast<unsigned>(indexFile.nFileSizeLow >> 10), writes.empty() ? 0.0 : Median(writes),
           writes.empty() ? 0.0 : Fastest(writes), static_cast<unsigned>(writes.size()));
    const PROCESS_MEMORY_COUNTERS_EX end = Memory();
    printf("  peak working set %u KB (%u KB before the first read)\n",
           static_cast<unsigned>(end.PeakWorkingSetSize >> 10), static_cast<unsigned>(before.PeakWorkingSetSize >> 10));
    return 0;
}
