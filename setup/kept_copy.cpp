#include "kept_copy.h"

#include <stdio.h>
#include <string.h>

#include "file_set.h"
#include "files.h"
#include "folders.h"
#include "setup_exit.h"

namespace {

const char kTemporaryPrefix[] = "DrovanaSetup-";

// The result's value and the event that says it is there, named after the
// kept copy's process, which makes both before it starts the temporary copy.
bool HandOverName(const char *what, DWORD keptProcess, char *name, size_t size) {
    const int written = snprintf(name, size, "Local\\DrovanaSetup-%s-%lu", what, keptProcess);
    return written > 0 && static_cast<size_t>(written) < size;
}

struct HandOver {
    HANDLE told;
    HANDLE value;
    LONG *result;
};

// Creates (kept copy) or opens (temporary copy) the pair; false when either fails.
bool OpenHandOver(DWORD keptProcess, bool create, HandOver *handOver) {
    char toldName[64];
    char valueName[64];
    handOver->told = nullptr;
    handOver->value = nullptr;
    handOver->result = nullptr;
    if (!HandOverName("told", keptProcess, toldName, sizeof(toldName)) ||
        !HandOverName("result", keptProcess, valueName, sizeof(valueName)))
        return false;
    handOver->told = create ? CreateEventA(nullptr, TRUE, FALSE, toldName)
                            : OpenEventA(EVENT_MODIFY_STATE, FALSE, toldName);
    handOver->value = create ? CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONG), valueName)
                             : OpenFileMappingA(FILE_MAP_WRITE, FALSE, valueName);
    if (handOver->value != nullptr)
        handOver->result = static_cast<LONG *>(MapViewOfFile(handOver->value, FILE_MAP_WRITE, 0, 0, sizeof(LONG)));
    return handOver->told != nullptr && handOver->result != nullptr;
}

void CloseHandOver(HandOver *handOver) {
    if (handOver->result != nullptr) UnmapViewOfFile(handOver->result);
    if (handOver->value != nullptr) CloseHandle(handOver->value);
    if (handOver->told != nullptr) CloseHandle(handOver->told);
}

void WaitForProcessEnd(DWORD processId) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) return;  // ended already
    WaitForSingleObject(process, 60000);
    CloseHandle(process);
}

// Earlier hand-overs' copies; one still running stays (its delete fails).
void RemoveEarlierCopies(const char *temporary) {
    char pattern[64];
    snprintf(pattern, sizeof(pattern), "%s*.exe", kTemporaryPrefix);
    for (const std::string &name : FileNamesIn(temporary, pattern)) {
        char path[MAX_PATH];
        if (JoinPath(path, sizeof(path), temporary, name.c_str())) DeleteFileA(path);
    }
}

}  // namespace

bool RunsAsKeptCopy() {
    char folder[MAX_PATH];
    char own[MAX_PATH];
    char simFolder[MAX_PATH];
    if (!FindPackageFolder(folder, sizeof(folder))) return false;
    // The kept copy's folder is DrovanaX\ in the simulator folder.
    lstrcpynA(own, folder, sizeof(own));
    own[strlen(own) - 1] = '\0';
    return ParentFolder(own, simFolder, sizeof(simFolder)) && IsFileIn(simFolder, kInstalledList) &&
           !IsFileIn(folder, kAddonDll);
}

int HandOverToTemporaryCopy(const char *arguments) {
    char self[MAX_PATH];
    char temporary[MAX_PATH];
    char copy[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, sizeof(self));
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
    HandOver handOver;
    if (!OpenHandOver(GetCurrentProcessId(), true, &handOver)) {
        CloseHandOver(&handOver);
        return SETUP_WRITE_FAILED;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(copy, line, nullptr, nullptr, FALSE, 0, nullptr, temporary, &startup, &process)) {
        CloseHandOver(&handOver);
        return SETUP_WRITE_FAILED;
    }
    CloseHandle(process.hThread);
    // The copy may fail before it tells (or be killed): its end wakes us too.
    HANDLE waits[] = {handOver.told, process.hProcess};
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    const int code = woken == WAIT_OBJECT_0 ? static_cast<int>(*handOver.result) : SETUP_WRITE_FAILED;
    CloseHandle(process.hProcess);
    CloseHandOver(&handOver);
    return code;
}

void FinishHandOver(DWORD keptProcess, int code, const char *simFolder) {
    HandOver handOver;
    if (OpenHandOver(keptProcess, false, &handOver)) {
        *handOver.result = code;
        SetEvent(handOver.told);
    }
    CloseHandOver(&handOver);
    WaitForProcessEnd(keptProcess);
    char folder[MAX_PATH];
    if (FindSimFolder(simFolder, folder, sizeof(folder))) RemoveKeptSetupLeftAlone(folder);
}
