#include "folders.h"

#include <windows.h>
#include <shlobj.h>

#include <stdio.h>
#include <string.h>

namespace {

const char kSetupKey[] = "SOFTWARE\\Microsoft\\microsoft games\\flight simulator\\10.0";

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

bool JoinPath(char *out, size_t size, const char *folder, const char *name) {
    const int written = snprintf(out, size, "%s%s", folder, name);
    if (written < 0 || static_cast<size_t>(written) >= size) {
        if (size > 0) out[0] = '\0';
        return false;
    }
    return true;
}

bool ParentFolder(const char *path, char *folder, size_t size) {
    const char *slash = strrchr(path, '\\');
    if (slash == NULL || static_cast<size_t>(slash - path) + 2 > size) return false;
    const size_t length = static_cast<size_t>(slash - path) + 1;
    memcpy(folder, path, length);
    folder[length] = '\0';
    return true;
}

bool ReadSetupPath(char *value, size_t size) {
    value[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSetupKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(size - 1);
    const LONG result = RegQueryValueExA(key, "SetupPath", NULL, &type, reinterpret_cast<BYTE *>(value), &bytes);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        value[0] = '\0';
        return false;
    }
    value[bytes < size ? bytes : size - 1] = '\0';  // the stored value need not end with its terminator
    return value[0] != '\0';
}

bool FindSimFolder(const char *given, char *folder, size_t size) {
    char chosen[MAX_PATH];
    if (given != NULL && given[0] != '\0') {
        lstrcpynA(chosen, given, sizeof(chosen));
    } else if (!ReadSetupPath(chosen, sizeof(chosen))) {
        folder[0] = '\0';
        return false;
    }
    // The administrator's run is handed this folder and starts in a current
    // folder of its own: a relative /D= would name another place there.
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(chosen, sizeof(full), full, NULL);
    if (length == 0 || length >= sizeof(full) || !WithTrailingBackslash(full, folder, size)) {
        folder[0] = '\0';
        return false;
    }
    const DWORD attributes = GetFileAttributesA(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FindDllXmlPath(char *path, size_t size) {
    char appData[MAX_PATH];
    // The folder of whoever runs this program: why it never runs elevated as
    // another account (see the README).
    if (SHGetFolderPathA(NULL, CSIDL_APPDATA, NULL, SHGFP_TYPE_CURRENT, appData) != S_OK) return false;
    char folder[MAX_PATH];
    return WithTrailingBackslash(appData, folder, sizeof(folder)) &&
           JoinPath(path, size, folder, "Microsoft\\FSX\\dll.xml");
}

bool FindPackageFolder(char *folder, size_t size) {
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(NULL, self, sizeof(self));
    if (length == 0 || length >= sizeof(self)) return false;
    return ParentFolder(self, folder, size);
}
