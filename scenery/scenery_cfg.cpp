#include "scenery_cfg.h"

#include <shlobj.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "editions.h"

namespace {

std::string Trimmed(const char *begin, const char *end) {
    while (begin < end && (*begin == ' ' || *begin == '\t')) ++begin;
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r')) --end;
    return std::string(begin, end);
}

bool SameText(const std::string &a, const char *b) { return lstrcmpiA(a.c_str(), b) == 0; }

// "Area.012" -> 12; false for other sections.
bool AreaNumber(const std::string &section, int *number) {
    if (section.size() < 6 || CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, section.c_str(), 5, "Area.", 5) !=
                                  CSTR_EQUAL)
        return false;
    const char *digits = section.c_str() + 5;
    char *end = nullptr;
    const long value = strtol(digits, &end, 10);
    if (end == digits || *end != '\0' || value < 0 || value > 1000000) return false;
    *number = static_cast<int>(value);
    return true;
}

bool ParseInt(const std::string &text, int *value) {
    char *end = nullptr;
    const long parsed = strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || parsed < -1000000 || parsed > 1000000) return false;
    *value = static_cast<int>(parsed);
    return true;
}

// FindFirstFile matches "*.bgl" against 8.3 names too, so "KSEA.bgl_" (a
// file a pilot renamed to turn it off) comes back as KSEA~1.BGL.
bool EndsWithBgl(const char *name) {
    const size_t length = strlen(name);
    return length > 4 && lstrcmpiA(name + length - 4, ".bgl") == 0;
}

bool IsAbsolute(const char *path) {
    return (path[0] != '\0' && path[1] == ':') || path[0] == '\\' || path[0] == '/';
}

}  // namespace

std::vector<SceneryArea> ParseSceneryCfg(const char *text, size_t length) {
    std::vector<SceneryArea> areas;
    bool inArea = false;
    bool layerGiven = false;
    const char *end = text + length;
    // Some editors save it as UTF-8 with a byte order mark.
    if (length >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) text += 3;
    for (const char *line = text; line < end;) {
        const char *lineEnd = static_cast<const char *>(memchr(line, '\n', end - line));
        if (lineEnd == nullptr) lineEnd = end;  // the last line need not end
        const std::string content = Trimmed(line, lineEnd);
        line = lineEnd < end ? lineEnd + 1 : end;
        if (content.empty() || content[0] == ';') continue;
        if (content[0] == '[') {
            const size_t close = content.find(']');
            int number = 0;
            if (inArea && !layerGiven) areas.back().layer = areas.back().number;
            inArea = close != std::string::npos && AreaNumber(content.substr(1, close - 1), &number);
            layerGiven = false;
            if (inArea) areas.push_back(SceneryArea{number, number, false, std::string(), std::string()});
            continue;
        }
        if (!inArea) continue;
        const size_t equals = content.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = Trimmed(content.c_str(), content.c_str() + equals);
        const std::string value = Trimmed(content.c_str() + equals + 1, content.c_str() + content.size());
        SceneryArea &area = areas.back();
        if (SameText(key, "Title")) {
            area.title = value;
        } else if (SameText(key, "Local")) {
            area.local = value;
        } else if (SameText(key, "Active")) {
            area.active = SameText(value, "TRUE") || value == "1";
        } else if (SameText(key, "Layer")) {
            layerGiven = ParseInt(value, &area.layer);
        }
    }
    if (inArea && !layerGiven) areas.back().layer = areas.back().number;
    return areas;
}

std::vector<SceneryArea> AreasInLoadOrder(const std::vector<SceneryArea> &areas) {
    std::vector<SceneryArea> order;
    for (const SceneryArea &area : areas)
        if (area.active) order.push_back(area);
    std::stable_sort(order.begin(), order.end(),
                     [](const SceneryArea &a, const SceneryArea &b) { return a.layer < b.layer; });
    return order;
}

bool AreaFolder(const char *simFolder, const char *local, char *folder, size_t size) {
    folder[0] = '\0';
    if (local[0] == '\0') return false;
    const size_t length = strlen(local);
    const char *slash = local[length - 1] == '\\' || local[length - 1] == '/' ? "" : "\\";
    const int written = IsAbsolute(local) ? snprintf(folder, size, "%s%s", local, slash)
                                          : snprintf(folder, size, "%s%s%s", simFolder, local, slash);
    if (written <= 0 || static_cast<size_t>(written) >= size) {
        folder[0] = '\0';
        return false;
    }
    return true;
}

std::vector<BglFileEntry> AreaBglFiles(const char *areaFolder) {
    std::vector<BglFileEntry> files;
    char pattern[MAX_PATH];
    const int written = snprintf(pattern, sizeof pattern, "%sscenery\\*.bgl", areaFolder);
    if (written <= 0 || static_cast<size_t>(written) >= sizeof pattern) return files;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !EndsWithBgl(found.cFileName)) continue;
        char path[MAX_PATH];
        const int length = snprintf(path, sizeof path, "%sscenery\\%s", areaFolder, found.cFileName);
        if (length <= 0 || static_cast<size_t>(length) >= sizeof path) continue;
        BglFileEntry entry;
        entry.path = path;
        entry.size = static_cast<uint64_t>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
        entry.writeTime = static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32 |
                          found.ftLastWriteTime.dwLowDateTime;
        files.push_back(entry);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(files.begin(), files.end(),
              [](const BglFileEntry &a, const BglFileEntry &b) { return lstrcmpiA(a.path.c_str(), b.path.c_str()) < 0; });
    return files;
}

namespace {

std::string FolderOf(int csidl) {
    char folder[MAX_PATH];
    if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK || folder[0] == '\0') return "";
    std::string path = folder;
    if (path[path.size() - 1] != '\\') path += '\\';
    return path;
}

const char *HowKnown(EditionEvidence evidence) {
    switch (evidence) {
    case EDITION_NAMED:
    case EDITION_REMEMBERED:
        return "DrovanaSetup was told so for this folder";
    case EDITION_REGISTRY:
        return "its registry values name this folder";
    case EDITION_PROGRAM:
        return "its program is in this folder";
    case EDITION_ASSUMED:
        break;
    }
    return "nothing names this folder, so taken for the boxed edition";
}

}  // namespace

int SceneryCfgCandidates(const char *simFolder, std::string candidates[2], std::string *simulator) {
    const std::string programData = FolderOf(CSIDL_COMMON_APPDATA);
    if (programData.empty()) return 0;
    // The editions table names each edition's folder for dll.xml; its
    // Scenery.CFG keeps to the same folder under ProgramData.
    FoundEdition found;
    EditionOfFolder(simFolder, nullptr, &found);
    const Edition &edition = found.edition != nullptr ? *found.edition : kBoxedEdition;
    const std::string own = found.data != nullptr ? found.data : edition.dataAlone;
    *simulator = std::string(edition.name) + " (" + HowKnown(found.evidence) + ")";
    candidates[0] = programData + own + "\\Scenery.CFG";
    if (edition.secondSceneryCfg == SCENERY_CFG_IN_APPDATA_TOO) {
        const std::string appData = FolderOf(CSIDL_APPDATA);
        if (appData.empty()) return 1;
        candidates[1] = appData + own + "\\Scenery.CFG";
    } else {
        candidates[1] = programData + (SameText(own, "Microsoft\\FSX") ? "Microsoft\\FSX-SE" : "Microsoft\\FSX") +
                        "\\Scenery.CFG";
    }
    return 2;
}
