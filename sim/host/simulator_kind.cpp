#include "simulator_kind.h"

#include <windows.h>
#include <shlobj.h>

#include <string.h>

#include <vector>

#include "trace.h"

namespace {

const char kBoxedKey[] = "SOFTWARE\\Microsoft\\microsoft games\\flight simulator\\10.0";
const char kBoxedUserKey[] = "Software\\Microsoft\\Microsoft Games\\Flight Simulator\\10.0";

const SimulatorKind kKinds[] = {
    {"FSX", kBoxedKey, "SetupPath", kBoxedUserKey, "AppPath", "Microsoft\\FSX", "Microsoft\\FSX",
     "Microsoft Flight Simulator X (DrovanaX stand-in)"},
    {"FSX-SE", "SOFTWARE\\Dovetail Games\\FSX\\10.0", "Install_Path",
     "Software\\Microsoft\\Microsoft Games\\Flight Simulator - Steam Edition\\10.0", "AppPath", "Microsoft\\FSX",
     "Microsoft\\FSX-SE", "Microsoft Flight Simulator X: Steam Edition (DrovanaX stand-in)"},
    {"P3Dv1", "SOFTWARE\\LockheedMartin\\Prepar3D", "SetupPath", "Software\\LockheedMartin\\Prepar3D", "AppPath",
     "Lockheed Martin\\Prepar3D", "Lockheed Martin\\Prepar3D", "Lockheed Martin Prepar3D (DrovanaX stand-in)"},
    {"P3Dv2", "SOFTWARE\\Lockheed Martin\\Prepar3D v2", "SetupPath", "Software\\Lockheed Martin\\Prepar3D v2",
     "AppPath", "Lockheed Martin\\Prepar3D v2", "Lockheed Martin\\Prepar3D v2",
     "Lockheed Martin Prepar3D v2 (DrovanaX stand-in)"},
    {"P3Dv3", "SOFTWARE\\Lockheed Martin\\Prepar3D v3", "SetupPath", "Software\\Lockheed Martin\\Prepar3D v3",
     "AppPath", "Lockheed Martin\\Prepar3D v3", "Lockheed Martin\\Prepar3D v3",
     "Lockheed Martin Prepar3D v3 (DrovanaX stand-in)"},
};
const SimulatorKind kDefault = {"FSX", kBoxedKey, "SetupPath", nullptr, nullptr, "Microsoft\\FSX", "Microsoft\\FSX",
                                "Microsoft Flight Simulator X (DrovanaX stand-in)"};

std::string RegistryText(HKEY root, const char *subKey, const char *value) {
    char text[MAX_PATH] = "";
    DWORD size = sizeof text - 1;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "";
    if (RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size) != ERROR_SUCCESS) size = 0;
    RegCloseKey(key);
    text[size < sizeof text ? size : sizeof text - 1] = '\0';
    return text;
}

bool SetText(HKEY root, const char *subKey, const char *name, const std::string &text) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, subKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) return false;
    const bool set = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                                    static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
    RegCloseKey(key);
    return set;
}

std::string Trimmed(const std::string &text) {
    const size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

// The text of <tag>...</tag> in a block, trimmed; empty when it has none.
std::string Element(const std::string &block, const char *tag) {
    const std::string open = std::string("<") + tag + ">";
    const std::string close = std::string("</") + tag + ">";
    const size_t start = block.find(open);
    if (start == std::string::npos) return "";
    const size_t end = block.find(close, start + open.size());
    return end == std::string::npos ? "" : Trimmed(block.substr(start + open.size(), end - start - open.size()));
}

bool ReadFileText(const std::string &path, std::string *text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD size = GetFileSize(file, nullptr);
    bool read = size != INVALID_FILE_SIZE && size < (1u << 20);
    if (read) {
        std::vector<char> bytes(size + 1);
        DWORD done = 0;
        read = ReadFile(file, bytes.data(), size, &done, nullptr) && done == size;
        text->assign(bytes.data(), done);
    }
    CloseHandle(file);
    return read;
}

}  // namespace

const SimulatorKind &DefaultSimulator() { return kDefault; }

const SimulatorKind *FindSimulatorKind(const std::string &code) {
    for (const SimulatorKind &kind : kKinds)
        if (lstrcmpiA(kind.code, code.c_str()) == 0) return &kind;
    return nullptr;
}

std::string SimulatorDataFolder(const SimulatorKind &kind, const std::string &installFolder) {
    if (strcmp(kind.dataAlone, kind.dataBeside) == 0) return kind.dataAlone;
    std::string boxed = RegistryText(HKEY_LOCAL_MACHINE, kBoxedKey, "SetupPath");
    if (!boxed.empty() && boxed[boxed.size() - 1] != '\\') boxed += '\\';
    const DWORD attributes = GetFileAttributesA(boxed.c_str());
    const bool beside = !boxed.empty() && lstrcmpiA(boxed.c_str(), installFolder.c_str()) != 0 &&
                        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    return beside ? kind.dataBeside : kind.dataAlone;
}

std::string SimulatorDllXml(const std::string &data) {
    char appData[MAX_PATH] = "";
    if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData) != S_OK) return "";
    return std::string(appData) + "\\" + data + "\\dll.xml";
}

void WriteSimulatorRegistry(const SimulatorKind &kind, const std::string &installFolder, bool useGivenMachineValue,
                            const std::string &machineValueText, bool deleteMachineValue) {
    JsonLine record = Record("registry");
    record.Str("simulator", kind.code);
    bool ok = true;
    if (deleteMachineValue) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kind.machineKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, kind.machineValue);
            RegCloseKey(key);
        }
        record.Null(kind.machineValue);
    } else {
        const std::string value = useGivenMachineValue ? machineValueText : installFolder;
        ok = SetText(HKEY_LOCAL_MACHINE, kind.machineKey, kind.machineValue, value);
        record.Str(kind.machineValue, value.c_str());
    }
    if (kind.userKey != nullptr) ok = SetText(HKEY_CURRENT_USER, kind.userKey, kind.userValue, installFolder) && ok;
    record.Bool("ok", ok);
    Emit(record);
}

std::string AddonFromDllXml(const std::string &dllXml, const std::string &name, const std::string &installFolder) {
    JsonLine record = Record("dll_xml");
    record.Str("file", dllXml.c_str());
    std::string text;
    std::string found;
    int blocks = 0;
    if (ReadFileText(dllXml, &text)) {
        const std::string open = "<Launch.Addon>";
        const std::string close = "</Launch.Addon>";
        for (size_t start = text.find(open); start != std::string::npos; start = text.find(open, start + 1)) {
            const size_t end = text.find(close, start);
            if (end == std::string::npos) break;
            ++blocks;
            const std::string block = text.substr(start, end - start);
            if (!found.empty() || lstrcmpiA(Element(block, "Name").c_str(), name.c_str()) != 0 ||
                lstrcmpiA(Element(block, "Disabled").c_str(), "True") == 0)
                continue;
            const std::string path = Element(block, "Path");
            const bool absolute = path.size() > 1 && (path[1] == ':' || (path[0] == '\\' && path[1] == '\\'));
            found = absolute || path.empty() ? path : installFolder + path;
        }
    }
    record.Bool("read", !text.empty()).Int("addons", blocks).Str("path", found.c_str());
    Emit(record);
    return found;
}
