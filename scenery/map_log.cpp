#include "map_log.h"

#include <stdio.h>
#include <string.h>

bool DrovanaFile(const char *simFolder, const char *name, char *path, size_t size) {
    const int written = snprintf(path, size, "%sDrovanaX\\%s", simFolder, name);
    if (written <= 0 || static_cast<size_t>(written) >= size) {
        path[0] = '\0';
        return false;
    }
    return true;
}

MapLog::MapLog(const char *simFolder) : file_(INVALID_HANDLE_VALUE), written_(0), full_(false) {
    char path[MAX_PATH];
    if (!DrovanaFile(simFolder, "", path, sizeof path)) return;
    CreateDirectoryA(path, NULL);
    if (!DrovanaFile(simFolder, "DrovanaMap.log", path, sizeof path)) return;
    file_ = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
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
    WriteFile(file_, line, static_cast<DWORD>(length), &done, NULL);
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
