#include "editions.h"

#include <shlobj.h>

#include <stdio.h>
#include <string.h>

#include "folders.h"

namespace {

const char kBoxedKey[] = "Software\\Microsoft\\Microsoft Games\\Flight Simulator\\10.0";

}  // namespace

const Edition kEditions[] = {
    {"boxed edition", "DrovanaX (FSX)",
     {{HKEY_LOCAL_MACHINE, kBoxedKey, "SetupPath"}, {HKEY_CURRENT_USER, kBoxedKey, "AppPath"}}, "FSX", "FSX"},
    {"Steam Edition", "DrovanaX (Steam Edition)",
     {{HKEY_LOCAL_MACHINE, "SOFTWARE\\Dovetail Games\\FSX\\10.0", "Install_Path"},
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Microsoft Games\\Flight Simulator - Steam Edition\\10.0", "AppPath"}},
     "FSX", "FSX-SE"},
};
const int kEditionCount = sizeof(kEditions) / sizeof(kEditions[0]);
const Edition &kBoxedEdition = kEditions[0];

bool ReadRegistryText(HKEY root, const char *subKey, const char *value, char *text, size_t size) {
    text[0] = '\0';
    if (size < 2) return false;
    HKEY key;
    if (RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(size - 1);
    const LONG result = RegQueryValueExA(key, value, NULL, &type, reinterpret_cast<BYTE *>(text), &bytes);
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

bool DllXmlIn(const char *appDataFolder, char *path, size_t size) {
    char appData[MAX_PATH];
    // The folder of whoever runs this program: why it never runs elevated as
    // another account (see the README).
    if (SHGetFolderPathA(NULL, CSIDL_APPDATA, NULL, SHGFP_TYPE_CURRENT, appData) != S_OK) return false;
    const size_t length = strlen(appData);
    const char *separator = length > 0 && appData[length - 1] == '\\' ? "" : "\\";
    const int written = snprintf(path, size, "%s%sMicrosoft\\%s\\dll.xml", appData, separator, appDataFolder);
    return written > 0 && static_cast<size_t>(written) < size;
}

int IndexOf(const FoundEdition *found, int count, const char *folder) {
    for (int i = 0; i < count; ++i) {
        if (SameFolder(found[i].folder, folder)) return i;
    }
    return -1;
}

void PairDllXml(FoundEdition *found, int count) {
    for (int i = 0; i < count; ++i) {
        bool beside = false;
        for (int j = 0; j < count; ++j) beside = beside || found[j].edition != found[i].edition;
        const Edition &edition = *found[i].edition;
        if (!DllXmlIn(beside ? edition.dllXmlBeside : edition.dllXmlAlone, found[i].dllXml, sizeof(found[i].dllXml)))
            found[i].dllXml[0] = '\0';
    }
}

}  // namespace

int FindEditions(FoundEdition *found, int capacity) {
    int count = 0;
    for (int e = 0; e < kEditionCount; ++e) {
        for (const EditionKey &key : kEditions[e].keys) {
            char value[MAX_PATH];
            char folder[MAX_PATH];
            if (!ReadRegistryText(key.root, key.subKey, key.value, value, sizeof(value)) ||
                !FindSimFolder(value, folder, sizeof(folder)))
                continue;
            const int known = IndexOf(found, count, folder);
            if (known >= 0) {
                found[known].edition = &kEditions[e];
            } else if (count < capacity) {
                found[count].edition = &kEditions[e];
                lstrcpynA(found[count].folder, folder, sizeof(found[count].folder));
                ++count;
            }
        }
    }
    PairDllXml(found, count);
    return count;
}

bool EditionOfFolder(const char *given, FoundEdition *target) {
    memset(target, 0, sizeof(*target));
    if (!FindSimFolder(given, target->folder, sizeof(target->folder))) return false;
    FoundEdition found[kMaxEditions];
    const int count = FindEditions(found, kMaxEditions);
    const int index = IndexOf(found, count, target->folder);
    if (index >= 0) {
        *target = found[index];
        return true;
    }
    target->edition = &kBoxedEdition;
    return DllXmlIn(kBoxedEdition.dllXmlAlone, target->dllXml, sizeof(target->dllXml));
}
