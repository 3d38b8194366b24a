#include "scenery_library.h"

#include <windows.h>
#include <shlobj.h>

#include <stdio.h>
#include <stdlib.h>

#include "trace.h"

namespace {

bool IsWholeNumber(const std::string &word) {
    if (word.empty() || word.size() > 6) return false;
    size_t start = word[0] == '-' ? 1 : 0;
    if (start == word.size()) return false;
    for (size_t i = start; i < word.size(); ++i)
        if (word[i] < '0' || word[i] > '9') return false;
    return true;
}

bool IsAbsolute(const std::string &folder) {
    return (folder.size() >= 2 && folder[1] == ':') || (folder.size() >= 2 && folder[0] == '\\' && folder[1] == '\\');
}

// %ProgramData%\<data>\, made when missing; empty when it cannot be had.
std::string LibraryFolder(const std::string &data) {
    char common[MAX_PATH] = "";
    if (SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common) != S_OK) return "";
    std::string folder = common;
    for (size_t start = 0; start <= data.size();) {
        size_t end = data.find('\\', start);
        if (end == std::string::npos) end = data.size();
        folder += "\\" + data.substr(start, end - start);
        CreateDirectoryA(folder.c_str(), nullptr);
        start = end + 1;
    }
    return folder + "\\";
}

std::string LibraryText(const std::vector<SceneryArea> &areas) {
    std::string text = "[General]\r\nTitle=FS Scenery\r\nDescription=FS Scenery Data\r\nClean_on_Exit=TRUE\r\n";
    char entry[64];
    for (size_t i = 0; i < areas.size(); ++i) {
        snprintf(entry, sizeof entry, "\r\n[Area.%03u]\r\n", static_cast<unsigned>(i + 1));
        text += entry;
        snprintf(entry, sizeof entry, "Title=Stand-in area %u\r\n", static_cast<unsigned>(i + 1));
        text += entry;
        text += "Local=" + areas[i].folder + "\r\n";
        snprintf(entry, sizeof entry, "Layer=%d\r\n", areas[i].layer);
        text += entry;
        text += "Active=TRUE\r\nRequired=FALSE\r\n";
    }
    return text;
}

}  // namespace

bool ParseSceneryLine(const std::string &rest, std::vector<SceneryArea> *areas, std::string *error) {
    SceneryArea area;
    area.folder = rest;
    area.layer = areas->empty() ? 1 : areas->back().layer + 1;
    const size_t blank = rest.find_last_of(" \t");
    if (blank != std::string::npos && IsWholeNumber(rest.substr(blank + 1))) {
        area.layer = atoi(rest.substr(blank + 1).c_str());
        area.folder = rest.substr(0, rest.find_last_not_of(" \t", blank) + 1);
    }
    if (area.folder.empty()) {
        *error = "scenery needs a FOLDER and may have a LAYER";
        return false;
    }
    areas->push_back(area);
    return true;
}

void WriteSceneryLibrary(const std::vector<SceneryArea> &areas, const std::string &installFolder,
                         const std::string &data) {
    JsonLine record = Record("scenery");
    const std::string folder = LibraryFolder(data);
    const std::string path = folder + "Scenery.CFG";
    const std::string text = LibraryText(areas);
    bool written = false;
    if (!folder.empty()) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD done = 0;
            written = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &done, nullptr) && done == text.size();
            CloseHandle(file);
        }
    }
    record.Str("file", path.c_str()).Bool("ok", written).Int("areas", static_cast<long long>(areas.size()));
    Emit(record);
    for (const SceneryArea &area : areas) {
        const std::string local = IsAbsolute(area.folder) ? area.folder : installFolder + area.folder;
        JsonLine line = Record("scenery_area");
        line.Str("local", area.folder.c_str()).Int("layer", area.layer);
        line.Bool("exists", GetFileAttributesA(local.c_str()) != INVALID_FILE_ATTRIBUTES);
        Emit(line);
    }
}
