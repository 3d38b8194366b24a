#include "elevation.h"

#include <windows.h>
#include <shellapi.h>

#include "folders.h"
#include "setup_exit.h"

namespace {

bool IsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    // Before Vista there is no such class: no prompt either, so "not elevated".
    const BOOL known = GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size);
    CloseHandle(token);
    return known && elevation.TokenIsElevated;
}

void SetAll(int *codes, int count, int code) {
    for (int i = 0; i < count; ++i) codes[i] = code;
}

// Above the eight folders' three bits each (every exit code fits in three).
// Its top bits are clear, so no exception status (0xC0000005 and its kind)
// and no small code that TerminateProcess or a failed start leaves can carry it.
const DWORD kFinishedMark = 0x2D000000;
const DWORD kCodeBits = 0x00FFFFFF;
const int kBitsPerFolder = 3;
static_assert(SETUP_BAD_COMMAND_LINE < (1 << kBitsPerFolder), "an exit code does not fit its bits");
static_assert(kMaxFolders * kBitsPerFolder <= 24, "the folders' codes reach the mark");

}  // namespace

DWORD PackAdministratorCodes(const int *codes, int count) {
    DWORD packed = kFinishedMark;
    for (int i = 0; i < count && i < kMaxFolders; ++i)
        packed |= static_cast<DWORD>(codes[i] & 7) << (kBitsPerFolder * i);
    return packed;
}

void UnpackAdministratorCodes(DWORD exitCode, int count, int *codes) {
    if ((exitCode & ~kCodeBits) != kFinishedMark) {
        SetAll(codes, count, SETUP_WRITE_FAILED);
        return;
    }
    for (int i = 0; i < count; ++i)
        codes[i] = i < kMaxFolders ? static_cast<int>((exitCode >> (kBitsPerFolder * i)) & 7) : SETUP_WRITE_FAILED;
}

bool FolderNeedsAdministrator(const char *simFolder) {
    char probe[MAX_PATH];
    if (!JoinPath(probe, sizeof(probe), simFolder, "DrovanaSetup.probe")) return false;
    HANDLE file = CreateFileA(probe, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    return GetLastError() == ERROR_ACCESS_DENIED && !IsElevated();
}

void RunFilesAsAdministrator(const SetupOptions &options, const char *folders, int count, int *codes) {
    SetAll(codes, count, SETUP_WRITE_FAILED);
    char self[MAX_PATH];
    char arguments[kFilesOnlyArgumentsSize];
    const DWORD length = GetModuleFileNameA(nullptr, self, sizeof(self));
    if (length == 0 || length >= sizeof(self) ||
        !FormFilesOnlyArguments(options, folders, arguments, sizeof(arguments)))
        return;
    SHELLEXECUTEINFOA run = {};
    run.cbSize = sizeof(run);
    run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    run.lpVerb = "runas";
    run.lpFile = self;
    run.lpParameters = arguments;
    run.nShow = SW_HIDE;
    if (!ShellExecuteExA(&run)) {
        if (GetLastError() == ERROR_CANCELLED) SetAll(codes, count, SETUP_CANCELLED);
        return;
    }
    if (run.hProcess == nullptr) return;
    WaitForSingleObject(run.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(run.hProcess, &code)) UnpackAdministratorCodes(code, count, codes);
    CloseHandle(run.hProcess);
}
