#include "editions.h"

#include <shlobj.h>

#include <stdio.h>
#include <string.h>

#include <vector>

#include "folders.h"

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

}  // namespace

const EditionRegistry kSystemRegistry = {{{HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY}, {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY}},
                                         {HKEY_CURRENT_USER, 0}};
const char kEntrySimulatorValue[] = "Simulator";

bool ReadRegistryText(HKEY root, REGSAM view, const char *subKey, const char *value, char *text, size_t size) {
    text[0] = '\0';
    if (size < 2) return false;
    HKEY key;
    if (RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(size - 1);
    const LONG result = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE *>(text), &bytes);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        text[0] = '\0';
        return false;
    }
    text[bytes < size ? bytes : size - 1] = '\0';  // the stored value need not end with its terminator
    return text[0] != '\0';
}

bool SameFolder(const char *a, const char *b) {
    size_t la = strlen(a);
    size_t lb = strlen(b);
    while (la > 0 && (a[la - 1] == '\\' || a[la - 1] == '/')) --la;
    while (lb > 0 && (b[lb - 1] == '\\' || b[lb - 1] == '/')) --lb;
    return la == lb && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a, static_cast<int>(la), b,
                                      static_cast<int>(lb)) == CSTR_EQUAL;
}

namespace {

// FNV-1a over the folder's lower-case letters, trailing backslashes aside:
// the same folder however it was typed.
unsigned long FolderHash(const char *folder) {
    size_t length = strlen(folder);
    while (length > 0 && folder[length - 1] == '\\') --length;
    unsigned long hash = 2166136261UL;
    for (size_t i = 0; i < length; ++i) {
        char c = folder[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        hash = ((hash ^ static_cast<unsigned char>(c)) * 16777619UL) & 0xFFFFFFFFUL;
    }
    return hash;
}

}  // namespace

bool EntryKeyOf(const char *simFolder, char *key, size_t size) {
    const int written = snprintf(key, size, "%sDrovanaX-%08lx", kUninstallKey, FolderHash(simFolder));
    return written > 0 && static_cast<size_t>(written) < size;
}

namespace {

bool DllXmlIn(const char *data, char *path, size_t size) {
    char appData[MAX_PATH];
    // The folder of whoever runs this program: why it never runs elevated as
    // another account (docs/maintainers.md, "Execution level").
    if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData) != S_OK) return false;
    const size_t length = strlen(appData);
    const char *separator = length > 0 && appData[length - 1] == '\\' ? "" : "\\";
    const int written = snprintf(path, size, "%s%s%s\\dll.xml", appData, separator, data);
    return written > 0 && static_cast<size_t>(written) < size;
}

int IndexOf(const FoundEdition *found, int count, const char *folder) {
    for (int i = 0; i < count; ++i) {
        if (SameFolder(found[i].folder, folder)) return i;
    }
    return -1;
}

// The Steam Edition beside the boxed one keeps its files apart; every other
// edition's folder is its own however many are installed.
void PairDllXml(FoundEdition *found, int count) {
    for (int i = 0; i < count; ++i) {
        const Edition &edition = *found[i].edition;
        bool beside = false;
        for (int j = 0; j < count; ++j)
            beside = beside ||
                     (found[j].edition != &edition && lstrcmpiA(found[j].edition->dataAlone, edition.dataAlone) == 0);
        found[i].data = beside ? edition.dataBeside : edition.dataAlone;
        if (!DllXmlIn(found[i].data, found[i].dllXml, sizeof(found[i].dllXml))) found[i].dllXml[0] = '\0';
    }
}

bool ReadKey(const EditionRegistry &registry, const EditionKey &key, char *text, size_t size) {
    if (!key.machine)
        return ReadRegistryText(registry.user.root, registry.user.view, key.subKey, key.value, text, size);
    for (const RegistryPlace &place : registry.machine)
        if (ReadRegistryText(place.root, place.view, key.subKey, key.value, text, size)) return true;
    return false;
}

const Edition *RememberedEdition(const EditionRegistry &registry, const char *folder) {
    char entry[160];
    char code[16];
    if (!EntryKeyOf(folder, entry, sizeof(entry)) ||
        !ReadRegistryText(registry.user.root, registry.user.view, entry, kEntrySimulatorValue, code, sizeof(code)))
        return nullptr;
    return EditionByCode(code);
}

// The major part of the program's file version; 0 when it has none.
WORD ProgramMajorVersion(const char *program) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(program, &ignored);
    if (size == 0 || size > (1u << 20)) return 0;
    std::vector<char> block(size);
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoA(program, 0, size, block.data()) ||
        !VerQueryValueA(block.data(), "\\", reinterpret_cast<void **>(&fixed), &length) || fixed == nullptr ||
        length < sizeof(*fixed) || fixed->dwSignature != 0xFEEF04BD)
        return 0;
    return HIWORD(fixed->dwFileVersionMS);
}

// The first edition whose program lies in the folder, in the version it
// has: Prepar3D names its program alike in every version.
const Edition *EditionOfProgram(const char *folder) {
    for (int e = 0; e < kEditionCount; ++e) {
        char program[MAX_PATH];
        if (!JoinPath(program, sizeof(program), folder, kEditions[e].program) ||
            GetFileAttributesA(program) == INVALID_FILE_ATTRIBUTES)
            continue;
        if (kEditions[e].programMajor == 0 || ProgramMajorVersion(program) == kEditions[e].programMajor)
            return &kEditions[e];
    }
    return nullptr;
}

}  // namespace

int FindEditionsIn(const EditionRegistry &registry, FoundEdition *found, int capacity) {
    int count = 0;
    for (int e = 0; e < kEditionCount; ++e) {
        for (const EditionKey &key : kEditions[e].keys) {
            char value[MAX_PATH];
            char folder[MAX_PATH];
            if (!ReadKey(registry, key, value, sizeof(value)) || !FindSimFolder(value, folder, sizeof(folder)))
                continue;
            int index = IndexOf(found, count, folder);
            if (index < 0 && count < capacity) {
                index = count++;
                lstrcpynA(found[index].folder, folder, sizeof(found[index].folder));
            }
            if (index >= 0) {
                found[index].edition = &kEditions[e];
                found[index].evidence = EDITION_REGISTRY;
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        const Edition *remembered = RememberedEdition(registry, found[i].folder);
        if (remembered != nullptr && remembered != found[i].edition) {
            found[i].edition = remembered;
            found[i].evidence = EDITION_REMEMBERED;
        }
    }
    PairDllXml(found, count);
    return count;
}

int FindEditions(FoundEdition *found, int capacity) { return FindEditionsIn(kSystemRegistry, found, capacity); }

bool EditionOfFolder(const char *given, const Edition *named, FoundEdition *target) {
    memset(target, 0, sizeof(*target));
    char folder[MAX_PATH];
    if (!FindSimFolder(given, folder, sizeof(folder))) return false;
    FoundEdition found[kMaxEditions + 1];
    int count = FindEditionsIn(kSystemRegistry, found, kMaxEditions);
    int index = IndexOf(found, count, folder);
    if (index < 0) {
        index = count++;
        lstrcpynA(found[index].folder, folder, sizeof(found[index].folder));
        const Edition *remembered = RememberedEdition(kSystemRegistry, folder);
        const Edition *program = remembered == nullptr ? EditionOfProgram(folder) : nullptr;
        found[index].edition = remembered != nullptr ? remembered : program != nullptr ? program : &kBoxedEdition;
        found[index].evidence = remembered != nullptr ? EDITION_REMEMBERED
                                : program != nullptr  ? EDITION_PROGRAM
                                                      : EDITION_ASSUMED;
    }
    if (named != nullptr) {
        found[index].edition = named;
        found[index].evidence = EDITION_NAMED;
    }
    PairDllXml(found, count);
    *target = found[index];
    return target->dllXml[0] != '\0';
}
