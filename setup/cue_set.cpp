#include "cue_set.h"

#include <windows.h>

#include <stdio.h>

#include <algorithm>

#include "files.h"
#include "folders.h"
#include "languages.h"

const char kSoundsFolder[] = "DrovanaX\\Sounds\\";

namespace {

void AddWaveFiles(const char *folder, std::vector<std::string> *names) {
    char pattern[MAX_PATH];
    if (!JoinPath(pattern, sizeof(pattern), folder, "*.wav")) return;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::string name = found.cFileName;
        const bool known = std::any_of(names->begin(), names->end(), [&name](const std::string &other) {
            return _stricmp(other.c_str(), name.c_str()) == 0;
        });
        if (!known) names->push_back(name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

bool PackagePath(const char *packageFolder, const char *relative, char *path, size_t size) {
    return JoinPath(path, size, packageFolder, relative);
}

}  // namespace

bool CueSetFolder(const char *code, char *relative, size_t size) {
    const int written = snprintf(relative, size, "%s%s\\", kSoundsFolder, code);
    return written > 0 && static_cast<size_t>(written) < size;
}

std::vector<std::string> CueSetFiles(const char *packageFolder, const char *code) {
    std::vector<std::string> names;
    char relative[MAX_PATH];
    char folder[MAX_PATH];
    if (CueSetFolder(code, relative, sizeof(relative)) && PackagePath(packageFolder, relative, folder, sizeof(folder)))
        AddWaveFiles(folder, &names);
    return names;
}

std::vector<std::string> AllCueFiles(const char *packageFolder) {
    std::vector<std::string> names;
    CueLanguageList list;
    if (ReadCueLanguages(packageFolder, &list)) {
        for (int i = 0; i < list.count; ++i) {
            char relative[MAX_PATH];
            char folder[MAX_PATH];
            if (CueSetFolder(list.languages[i].code, relative, sizeof(relative)) &&
                PackagePath(packageFolder, relative, folder, sizeof(folder)))
                AddWaveFiles(folder, &names);
        }
    }
    char sounds[MAX_PATH];
    if (PackagePath(packageFolder, kSoundsFolder, sounds, sizeof(sounds))) AddWaveFiles(sounds, &names);
    return names;
}

bool IsPackageCue(const char *packageFolder, const char *name, const std::string &bytes) {
    std::vector<std::string> folders(1, kSoundsFolder);
    CueLanguageList list;
    if (ReadCueLanguages(packageFolder, &list)) {
        for (int i = 0; i < list.count; ++i) {
            char relative[MAX_PATH];
            if (CueSetFolder(list.languages[i].code, relative, sizeof(relative))) folders.push_back(relative);
        }
    }
    for (const std::string &folder : folders) {
        char relative[MAX_PATH];
        char path[MAX_PATH];
        std::string held;
        DWORD error = 0;
        if (JoinPath(relative, sizeof(relative), folder.c_str(), name) &&
            PackagePath(packageFolder, relative, path, sizeof(path)) &&
            ReadWholeFile(path, &held, &error) == FILE_READ && held == bytes)
            return true;
    }
    return false;
}

bool PackageHasCueSets(const char *packageFolder, char *missing, size_t size) {
    CueLanguageList list;
    if (!ReadCueLanguages(packageFolder, &list)) {
        snprintf(missing, size, "%slanguages.txt", kSoundsFolder);
        return false;
    }
    // Every set holds the names of the first: the sound lists of a pilot's
    // Drovana.cfg name them whatever the language.
    const std::vector<std::string> names = CueSetFiles(packageFolder, list.languages[0].code);
    for (int i = 0; i < list.count; ++i) {
        char relative[MAX_PATH];
        if (!CueSetFolder(list.languages[i].code, relative, sizeof(relative))) return false;
        const std::vector<std::string> held = CueSetFiles(packageFolder, list.languages[i].code);
        if (held.empty()) {
            snprintf(missing, size, "%s", relative);
            return false;
        }
        for (const std::string &name : names) {
            const bool there = std::any_of(held.begin(), held.end(), [&name](const std::string &other) {
                return _stricmp(other.c_str(), name.c_str()) == 0;
            });
            if (!there) {
                snprintf(missing, size, "%s%s", relative, name.c_str());
                return false;
            }
        }
    }
    return true;
}
