#include "apps_entry.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "file_set.h"

const char kDrovanaVersion[] = "1.0.0.1";

namespace {

bool SetText(HKEY key, const char *name, const char *text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                          static_cast<DWORD>(strlen(text) + 1)) == ERROR_SUCCESS;
}

bool SetNumber(HKEY key, const char *name, DWORD number) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), sizeof(number)) ==
           ERROR_SUCCESS;
}

}  // namespace

bool RegisterAppsEntry(const FoundEdition &target, unsigned long long installedBytes) {
    char keyName[160];
    const std::string kept = std::string(target.folder) + kKeptSetup;
    const std::string uninstall = "\"" + kept + "\" /uninstall /D=" + target.folder;
    const std::string quiet = "\"" + kept + "\" /S /uninstall /D=" + target.folder;
    if (!EntryKeyOf(target.folder, keyName, sizeof(keyName))) return false;
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const bool ok = SetText(key, "DisplayName", target.edition->entryName) &&
                    SetText(key, "DisplayVersion", kDrovanaVersion) && SetText(key, "Publisher", "DrovanaX") &&
                    SetText(key, "InstallLocation", target.folder) &&
                    SetText(key, kEntrySimulatorValue, target.edition->code) &&
                    SetText(key, "DisplayIcon", kept.c_str()) &&
                    SetText(key, "UninstallString", uninstall.c_str()) &&
                    SetText(key, "QuietUninstallString", quiet.c_str()) &&
                    SetNumber(key, "EstimatedSize", static_cast<DWORD>((installedBytes + 1023) / 1024)) &&
                    SetNumber(key, "NoModify", 1) && SetNumber(key, "NoRepair", 1);
    RegCloseKey(key);
    return ok;
}

bool RemoveAppsEntry(const char *simFolder) {
    char keyName[160];
    if (!EntryKeyOf(simFolder, keyName, sizeof(keyName))) return false;
    const LONG result = RegDeleteKeyA(HKEY_CURRENT_USER, keyName);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}
