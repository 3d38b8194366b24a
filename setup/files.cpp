#include "files.h"

#include "folders.h"

FileRead ReadWholeFile(const char *path, std::string *bytes, DWORD *error, DWORD limit) {
    bytes->clear();
    *error = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return (*error == ERROR_FILE_NOT_FOUND || *error == ERROR_PATH_NOT_FOUND) ? FILE_ABSENT : FILE_UNREADABLE;
    }
    char chunk[4096];
    DWORD got = 0;
    bool ok;
    while ((ok = ReadFile(file, chunk, sizeof(chunk), &got, nullptr)) && got > 0) {
        bytes->append(chunk, got);
        if (limit != 0 && bytes->size() > limit) {
            SetLastError(ERROR_FILE_TOO_LARGE);
            ok = false;
            break;
        }
    }
    if (!ok) {
        *error = GetLastError();
        bytes->clear();
    }
    CloseHandle(file);
    return ok ? FILE_READ : FILE_UNREADABLE;
}

bool WriteWholeFile(const char *path, const std::string &bytes, DWORD *error) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const size_t left = bytes.size() - done;
        DWORD written = 0;
        ok = WriteFile(file, bytes.data() + done, left > 0x10000 ? 0x10000 : static_cast<DWORD>(left), &written,
                       nullptr) &&
             written > 0;
        done += written;
    }
    ok = ok && FlushFileBuffers(file);
    *error = ok ? 0 : GetLastError();
    CloseHandle(file);
    return ok;
}

bool IsFile(const char *path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadFileIn(const char *folder, const char *name, std::string *bytes, DWORD limit) {
    char path[MAX_PATH];
    DWORD error = 0;
    return JoinPath(path, sizeof(path), folder, name) && ReadWholeFile(path, bytes, &error, limit) == FILE_READ;
}

bool IsFileIn(const char *folder, const char *name) {
    char path[MAX_PATH];
    return JoinPath(path, sizeof(path), folder, name) && IsFile(path);
}

std::vector<std::string> FileNamesIn(const char *folder, const char *pattern) {
    std::vector<std::string> names;
    char path[MAX_PATH];
    WIN32_FIND_DATAA found;
    HANDLE find = JoinPath(path, sizeof(path), folder, pattern) ? FindFirstFileA(path, &found) : INVALID_HANDLE_VALUE;
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

bool HasName(const std::vector<std::string> &names, const std::string &name) {
    for (const std::string &other : names) {
        if (lstrcmpiA(other.c_str(), name.c_str()) == 0) return true;
    }
    return false;
}

bool IsReadOnly(const char *path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}
