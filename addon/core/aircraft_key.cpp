#include "aircraft_key.h"

#include <string.h>
#include <windows.h>

namespace {

void CopyPart(char (&destination)[256], const char *begin, const char *end) {
    size_t length = static_cast<size_t>(end - begin);
    if (length > sizeof destination - 1) {
        // Cut at a character boundary: walk the text and stop before the
        // character that would not fit.
        size_t fit = 0;
        while (fit < sizeof destination - 1) {
            const size_t width = IsDBCSLeadByte(static_cast<BYTE>(begin[fit])) ? 2 : 1;
            if (fit + width > sizeof destination - 1) break;
            fit += width;
        }
        length = fit;
    }
    memcpy(destination, begin, length);
    destination[length] = '\0';
}

}  // namespace

void SplitPath(const char *path, PathParts *parts) {
    const char *end = path + strlen(path);
    const char *cursor = path;

    const char *driveEnd = cursor;
    if (((cursor[0] >= 'A' && cursor[0] <= 'Z') || (cursor[0] >= 'a' && cursor[0] <= 'z')) && cursor[1] == ':')
        driveEnd = cursor + 2;
    CopyPart(parts->drive, cursor, driveEnd);
    cursor = driveEnd;

    const char *folderEnd = cursor;
    for (const char *p = cursor; p < end; p = CharNextA(p)) {
        if (*p == '\\' || *p == '/') folderEnd = p + 1;
    }
    CopyPart(parts->folder, cursor, folderEnd);
    cursor = folderEnd;

    const char *dot = nullptr;
    for (const char *p = cursor; p < end; p = CharNextA(p)) {
        if (*p == '.') dot = p;
    }
    const char *baseEnd = dot ? dot : end;
    CopyPart(parts->baseName, cursor, baseEnd);
    CopyPart(parts->extension, baseEnd, end);
}
