// Scratch files for tests: unique per test, removed when the holder goes.
#ifndef DROVANA_TESTS_TEMP_FILES_H
#define DROVANA_TESTS_TEMP_FILES_H

#include <windows.h>

#include <string>

class TempFolder {
public:
    TempFolder() {
        char base[MAX_PATH];
        GetTempPathA(sizeof base, base);
        static LONG counter = 0;
        char name[MAX_PATH];
        snprintf(name, sizeof name, "%sdrovana-%lu-%ld", base, GetCurrentProcessId(),
                 InterlockedIncrement(&counter));
        path_ = name;
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() { RemoveTree(path_); }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    // With a trailing backslash, the way the registry keeps the install folder.
    std::string Path() const { return path_ + "\\"; }
    std::string File(const std::string &name) const { return path_ + "\\" + name; }

private:
    static void RemoveTree(const std::string &folder) {
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = found.cFileName;
                if (name == "." || name == "..") continue;
                const std::string full = folder + "\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(full);
                else if (!DeleteFileA(full.c_str()) && SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL))
                    DeleteFileA(full.c_str());  // a test's read-only file
            } while (FindNextFileA(find, &found));
            FindClose(find);
        }
        RemoveDirectoryA(folder.c_str());
    }
    std::string path_;
};

inline bool FileExists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The whole file as it is on disk, also while another program holds it open;
// false when it cannot be opened.
inline bool ReadFileBytes(const std::string &path, std::string *bytes) {
    bytes->clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes->append(chunk, got);
    CloseHandle(file);
    return true;
}

#endif
