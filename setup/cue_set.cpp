#include "cue_set.h"

#include <windows.h>

#include <stdio.h>

#include "files.h"
#include "folders.h"
#include "languages.h"

const char kSoundsFolder[] = "DrovanaX\\Sounds\\";

namespace {

// The WAVE files of a package folder, each name once.
void AddWaveFiles(const char *packageFolder, const char *relative, std::vector<std::string> *names) {
    char folder[MAX_PATH];
    if (!JoinPath(folder, sizeof(folder), packageFolder, relative)) return;
    for (const std::string &name : FileNamesIn(folder, "*.wav")) {
        if (!HasName(*names, name)) names->push_back(name);
    }
}

// Every set's folder of the package, then its DrovanaX\Sounds itself (a
// package of the time before languages holds its cues there).
std::vector<std::string> CueFolders(const char *packageFolder) {
    std::vector<std::string> folders;
    CueLanguageList list;
    if (ReadCueLanguages(packageFolder, &list)) {
        for (int i = 0; i < list.count; ++i) {
            char relative[MAX_PATH];
            if (CueSetFolder(list.languages[i].code, relative, sizeof(relative))) folders.push_back(relative);
        }
    }
    folders.push_back(kSoundsFolder);
    return folders;
}

}  // namespace

bool CueSetFolder(const char *code, char *relative, size_t size) {
    const int written = snprintf(relative, size, "%s%s\\", kSoundsFolder, code);
    return written > 0 && static_cast<size_t>(written) < size;
}

std::vector<std::string> CueSetFiles(const char *packageFolder, const char *code) {
    std::vector<std::string> names;
    char relative[MAX_PATH];
    if (CueSetFolder(code, relative, sizeof(relative))) AddWaveFiles(packageFolder, relative, &names);
    return names;
}

std::vector<std::string> AllCueFiles(const char *packageFolder) {
    std::vector<std::string> names;
    for (const std::string &folder : CueFolders(packageFolder)) AddWaveFiles(packageFolder, folder.c_str(), &names);
    return names;
}

bool IsPackageCue(const char *packageFolder, const char *name, const std::string &bytes) {
    for (const std::string &folder : CueFolders(packageFolder)) {
        char relative[MAX_PATH];
        std::string held;
        if (JoinPath(relative, sizeof(relative), folder.c_str(), name) && ReadFileIn(packageFolder, relative, &held) &&
            held == bytes)
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
            if (!HasName(held, name)) {
                snprintf(missing, size, "%s%s", relative, name.c_str());
                return false;
            }
        }
    }
    return true;
}
