#include "kept_copy.h"

#include <stdio.h>
#include <string.h>

#include "folders.h"
#include "setup_exit.h"

namespace {

const char kTemporaryPrefix[] = "DrovanaSetup-";

bool IsFile(const char *path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Earlier hand-overs' copies; one still running stays (its delete fails).
void RemoveEarlierCopies(const char *temporary) {
    char pattern[MAX_PATH];
    if (snprintf(pattern, sizeof(pattern), "%s%s*.exe", temporary, kTemporaryPrefix) >= (int)sizeof(pattern)) return;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        char path[MAX_PATH];
        if (JoinPath(path, sizeof(path), temporary, found.cFileName)) DeleteFileA(path);
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

}  // namespace

bool RunsAsKeptCopy() {
    char folder[MAX_PATH];
    char list[MAX_PATH];
    char dll[MAX_PATH];
    return FindPackageFolder(folder, sizeof(folder)) &&
           JoinPath(list, sizeof(list), folder, "InstalledFiles.txt") && IsFile(list) &&
           JoinPath(dll, sizeof(dll), folder, "DrovanaX.dll") && !IsFile(dll);
}

int HandOverToTemporaryCopy(const char *arguments) {
    char self[MAX_PATH];
    char temporary[MAX_PATH];
    char copy[MAX_PATH];
    const DWORD length = GetModuleFileNameA(NULL, self, sizeof(self));
    const DWORD tempLength = GetTempPathA(sizeof(temporary), temporary);
    if (length == 0 || length >= sizeof(self) || tempLength == 0 || tempLength >= sizeof(temporary))
        return SETUP_WRITE_FAILED;
    RemoveEarlierCopies(temporary);
    const int named = snprintf(copy, sizeof(copy), "%s%s%lu.exe", temporary, kTemporaryPrefix, GetCurrentProcessId());
    if (named <= 0 || static_cast<size_t>(named) >= sizeof(copy) || !CopyFileA(self, copy, FALSE))
        return SETUP_WRITE_FAILED;
    char line[8192];
    const int written = snprintf(line, sizeof(line), "\"%s\" /after=%lu %s", copy, GetCurrentProcessId(),
                                 arguments ? arguments : "");
    if (written <= 0 || static_cast<size_t>(written) >= sizeof(line)) return SETUP_BAD_COMMAND_LINE;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(copy, line, NULL, NULL, FALSE, 0, NULL, temporary, &startup, &process))
        return SETUP_WRITE_FAILED;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return SETUP_DONE;
}

void WaitForProcessEnd(DWORD processId) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == NULL) return;  // ended already
    WaitForSingleObject(process, 60000);
    CloseHandle(process);
}
