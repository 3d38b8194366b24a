#include "elevation.h"

#include <windows.h>
#include <shellapi.h>

#include "folders.h"
#include "setup_exit.h"

namespace {

bool IsElevated() {
    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    // Before Vista there is no such class: no prompt either, so "not elevated".
    const BOOL known = GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size);
    CloseHandle(token);
    return known && elevation.TokenIsElevated;
}

}  // namespace

bool FolderNeedsAdministrator(const char *simFolder) {
    char probe[MAX_PATH];
    if (!JoinPath(probe, sizeof(probe), simFolder, "DrovanaSetup.probe")) return false;
    HANDLE file = CreateFileA(probe, GENERIC_WRITE, 0, NULL, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    return GetLastError() == ERROR_ACCESS_DENIED && !IsElevated();
}

int RunFilesAsAdministrator(const SetupOptions &options, const char *folders, bool *started) {
    *started = false;
    char self[MAX_PATH];
    char arguments[kMaxFolders * MAX_PATH + 64];
    const DWORD length = GetModuleFileNameA(NULL, self, sizeof(self));
    if (length == 0 || length >= sizeof(self) || !FormFilesOnlyArguments(options, folders, arguments, sizeof(arguments)))
        return SETUP_WRITE_FAILED;
    SHELLEXECUTEINFOA run = {};
    run.cbSize = sizeof(run);
    run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    run.lpVerb = "runas";
    run.lpFile = self;
    run.lpParameters = arguments;
    run.nShow = SW_HIDE;
    if (!ShellExecuteExA(&run)) return GetLastError() == ERROR_CANCELLED ? SETUP_CANCELLED : SETUP_WRITE_FAILED;
    if (run.hProcess == NULL) return SETUP_WRITE_FAILED;
    *started = true;
    WaitForSingleObject(run.hProcess, INFINITE);
    DWORD code = SETUP_WRITE_FAILED;
    if (!GetExitCodeProcess(run.hProcess, &code)) code = SETUP_WRITE_FAILED;
    CloseHandle(run.hProcess);
    return static_cast<int>(code);
}
