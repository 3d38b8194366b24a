#include "folders.h"

#include <windows.h>
#include <shlobj.h>

#include <stdio.h>
#include <string.h>

namespace {

bool WithTrailingBackslash(const char *path, char *folder, size_t size) {
    const size_t length = strlen(path);
    const bool has = length > 0 && (path[length - 1] == '\\' || path[length - 1] == '/');
    const int written = snprintf(folder, size, "%s%s", path, has ? "" : "\\");
    if (written <= 0 || static_cast<size_t>(written) >= size) {
        folder[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace

// out may be folder or name itself (a folder growing in place): the parts
// are measured first and moved, never formatted from the buffer being written.
bool JoinPath(char *out, size_t size, const char *folder, const char *name) {
    const size_t folderLength = strlen(folder);
    const size_t nameLength = strlen(name);
    if (size == 0) return false;
    if (folderLength + nameLength >= size) {
        out[0] = '\0';
        return false;
    }
    memmove(out + folderLength, name, nameLength + 1);
    if (out != folder) memmove(out, folder, folderLength);
    return true;
}

bool ParentFolder(const char *path, char *folder, size_t size) {
    const char *slash = strrchr(path, '\\');
    if (slash == nullptr || static_cast<size_t>(slash - path) + 2 > size) return false;
    const size_t length = static_cast<size_t>(slash - path) + 1;
    memcpy(folder, path, length);
    folder[length] = '\0';
    return true;
}

bool FindSimFolder(const char *given, char *folder, size_t size) {
    if (given == nullptr || given[0] == '\0') {
        folder[0] = '\0';
        return false;
    }
    char chosen[MAX_PATH];
    lstrcpynA(chosen, given, sizeof(chosen));
    // The administrator's run is handed this folder and starts in a current
    // folder of its own: a relative /D= would name another place there.
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(chosen, sizeof(full), full, nullptr);
    if (length == 0 || length >= sizeof(full) || !WithTrailingBackslash(full, folder, size)) {
        folder[0] = '\0';
        return false;
    }
    const DWORD attributes = GetFileAttributesA(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FindPackageFolder(char *folder, size_t size) {
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, sizeof(self));
    if (length == 0 || length >= sizeof(self)) return false;
    return ParentFolder(self, folder, size);
}

bool PilotDataFolder(char *folder, size_t size) {
    char local[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local) != S_OK) return false;
    return WithTrailingBackslash(local, folder, size) && JoinPath(folder, size, folder, "DrovanaX\\");
}
