#include "dll_xml_file.h"

#include <shlobj.h>

#include <string.h>

#include "files.h"
#include "folders.h"

namespace {

bool MakeBackup(const char *path, DllXmlWrite *outcome) {
    char backup[MAX_PATH];
    if (!BackupPathFor(path, backup, sizeof(backup))) {
        outcome->error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    if (!CopyFileA(path, backup, FALSE)) {
        outcome->error = GetLastError();
        return false;
    }
    outcome->backedUp = true;
    return true;
}

}  // namespace

bool BackupPathFor(const char *path, char *backup, size_t size) {
    return JoinPath(backup, size, path, ".DrovanaX.bak");
}

bool ReplaceDllXml(const char *path, const std::string &bytes, DllXmlWrite *outcome) {
    memset(outcome, 0, sizeof(*outcome));
    char folder[MAX_PATH];
    if (!ParentFolder(path, folder, sizeof(folder))) {
        outcome->error = ERROR_BAD_PATHNAME;
        return false;
    }
    // The simulator makes %APPDATA%\Microsoft\FSX at its first start; a pilot
    // who installs before that has none yet.
    const int made = SHCreateDirectoryExA(nullptr, folder, nullptr);
    if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) {
        outcome->error = static_cast<DWORD>(made);
        return false;
    }
    char temporary[MAX_PATH];
    if (!GetTempFileNameA(folder, "drx", 0, temporary)) {
        outcome->error = GetLastError();
        return false;
    }
    bool ok = WriteWholeFile(temporary, bytes, &outcome->error);
    if (ok && CheckXmlFile(temporary, &outcome->problem) != XML_WELL_FORMED) {
        outcome->failedCheck = true;
        ok = false;
    }
    if (ok && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) ok = MakeBackup(path, outcome);
    if (ok && !MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        outcome->error = GetLastError();
        ok = false;
    }
    if (!ok) DeleteFileA(temporary);
    return ok;
}

bool DeleteDllXml(const char *path, DllXmlWrite *outcome) {
    memset(outcome, 0, sizeof(*outcome));
    if (!MakeBackup(path, outcome)) return false;
    if (!DeleteFileA(path)) {
        outcome->error = GetLastError();
        return false;
    }
    return true;
}
