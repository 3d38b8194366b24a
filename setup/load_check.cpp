#include "load_check.h"

#include <string.h>

#include "file_set.h"
#include "folders.h"

const char kSimConnectVersion[] = "10.0.60905.0";

namespace {

// Resource 2 is the manifest the loader reads for a DLL.
const WORD kDllManifestId = 2;

bool IsMissingManifest(DWORD error) {
    return error == ERROR_RESOURCE_DATA_NOT_FOUND || error == ERROR_RESOURCE_TYPE_NOT_FOUND ||
           error == ERROR_RESOURCE_NAME_NOT_FOUND;
}

bool FindIn(const char *folder, const char *name, int depth, char *path, size_t size) {
    char pattern[MAX_PATH];
    if (depth > 6 || !JoinPath(pattern, sizeof(pattern), folder, "*")) return false;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool hit = false;
    do {
        if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0) continue;
        char inner[MAX_PATH];
        if (!JoinPath(inner, sizeof(inner), folder, found.cFileName)) continue;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            hit = lstrcmpiA(found.cFileName, name) == 0 && JoinPath(path, size, "", inner);
        } else if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            hit = JoinPath(inner, sizeof(inner), inner, "\\") && FindIn(inner, name, depth + 1, path, size);
        }
    } while (!hit && FindNextFileA(find, &found));
    FindClose(find);
    return hit;
}

}  // namespace

LoadCheck CheckAddonLoads(const char *simFolder, DWORD *error) {
    *error = 0;
    char dll[MAX_PATH];
    wchar_t wideDll[MAX_PATH];
    wchar_t wideFolder[MAX_PATH];
    if (!JoinPath(dll, sizeof(dll), simFolder, kAddonDll) ||
        !MultiByteToWideChar(CP_ACP, 0, dll, -1, wideDll, MAX_PATH) ||
        !MultiByteToWideChar(CP_ACP, 0, simFolder, -1, wideFolder, MAX_PATH)) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return LOAD_NOT_CHECKED;
    }
    ACTCTXW context = {};
    context.cbSize = sizeof(context);
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_ASSEMBLY_DIRECTORY_VALID;
    context.lpSource = wideDll;
    context.lpResourceName = MAKEINTRESOURCEW(kDllManifestId);
    context.lpAssemblyDirectory = wideFolder;
    HANDLE made = CreateActCtxW(&context);
    if (made != INVALID_HANDLE_VALUE) {
        ReleaseActCtx(made);
        return LOAD_RESOLVES;
    }
    *error = GetLastError();
    if (IsMissingManifest(*error)) return LOAD_RESOLVES;
    // The side-by-side errors (14000 on) say an assembly could not be bound.
    return (*error >= 14000 && *error < 15000) ? LOAD_ASSEMBLY_MISSING : LOAD_NOT_CHECKED;
}

bool FindSimConnectInstaller(const char *simFolder, const char *under, char *path, size_t size) {
    char folder[MAX_PATH];
    path[0] = '\0';
    return JoinPath(folder, sizeof(folder), simFolder, under) && FindIn(folder, "SimConnect.msi", 0, path, size);
}
