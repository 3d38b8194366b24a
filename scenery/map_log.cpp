#include "map_log.h"

#include <stdio.h>
#include <string.h>

#include "folders.h"

bool DrovanaFile(const char *simFolder, const char *name, char *path, size_t size) {
    const int written = snprintf(path, size, "%sDrovanaX\\%s", simFolder, name);
    if (written <= 0 || static_cast<size_t>(written) >= size) {
        path[0] = '\0';
        return false;
    }
    return true;
}

namespace {

HANDLE CreateIn(const char *folder, const char *name, DWORD share, char *path, size_t size) {
    CreateDirectoryA(folder, nullptr);
    const int written = snprintf(path, size, "%s%s", folder, name);
    if (written <= 0 || static_cast<size_t>(written) >= size) {
        path[0] = '\0';
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileA(path, GENERIC_WRITE, share, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

HANDLE CreateDrovanaFile(const char *simFolder, const char *name, DWORD share, DrovanaFilePlace *place) {
    place->path[0] = place->refused[0] = '\0';
    place->error = ERROR_SUCCESS;
    char folder[MAX_PATH];
    HANDLE file = INVALID_HANDLE_VALUE;
    if (DrovanaFile(simFolder, "", folder, sizeof folder)) {
        file = CreateIn(folder, name, share, place->path, sizeof place->path);
        if (file != INVALID_HANDLE_VALUE) return file;
        place->error = GetLastError();
        snprintf(place->refused, sizeof place->refused, "%s", place->path);
    }
    if (PilotDataFolder(folder, sizeof folder)) file = CreateIn(folder, name, share, place->path, sizeof place->path);
    if (file == INVALID_HANDLE_VALUE) place->path[0] = '\0';
    return file;
}

MapLog::MapLog(const char *simFolder) : file_(INVALID_HANDLE_VALUE), written_(0), full_(false) {
    DrovanaFilePlace place;
    file_ = CreateDrovanaFile(simFolder, "DrovanaMap.log", FILE_SHARE_READ, &place);
    if (place.refused[0] == '\0') return;
    char line[MAX_PATH + 80];
    snprintf(line, sizeof line, "%s could not be written (error %lu): this log is written here instead",
             place.refused, place.error);
    Line(line);
}

MapLog::~MapLog() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

void MapLog::Line(const char *text) {
    if (file_ == INVALID_HANDLE_VALUE || full_) return;
    char line[1024];
    int length = snprintf(line, sizeof line, "%s\r\n", text);
    if (length <= 0) return;
    if (static_cast<size_t>(length) >= sizeof line) {
        length = sizeof line - 1;
        line[length - 2] = '\r', line[length - 1] = '\n';
    }
    if (written_ + length > kMapLogMaxBytes) {
        full_ = true;
        length = snprintf(line, sizeof line, "more lines left out: the log holds %u KB\r\n",
                          static_cast<unsigned>(kMapLogMaxBytes >> 10));
    }
    DWORD done = 0;
    WriteFile(file_, line, static_cast<DWORD>(length), &done, nullptr);
    written_ += done;
}

void MapLog::Skipped(const char *file, const char *icao, const char *why) {
    char line[1024];
    if (icao[0] != '\0')
        snprintf(line, sizeof line, "skipped airport %s in %s: %s", icao, file, why);
    else
        snprintf(line, sizeof line, "skipped %s: %s", file, why);
    Line(line);
}

void MapLog::Library(const char *text) { Line(text); }
