#include "connection.h"

#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "aircraft_key.h"
#include "editions.h"
#include "identifiers.h"
#include "state.h"

namespace {

const char kConfigFileName[] = "Drovana.cfg";
const char kPlayerFileName[] = "Kestrola.exe";

struct MenuEntry {
    const char *caption;
    DWORD eventId;
};

const char kSeparator[] = "---------";

const MenuEntry kMenu[] = {
    {"Setting", MENU_SETTING},
    {kSeparator, MENU_SEPARATOR},
    {"Auto Right", MENU_AUTO_RIGHT},
    {"Auto Left", MENU_AUTO_LEFT},
    {"Taxiway Right", MENU_TAXIWAY_RIGHT},
    {"Taxiway Left", MENU_TAXIWAY_LEFT},
    {kSeparator, MENU_SEPARATOR},
    {"Pushback", MENU_PUSHBACK},
    {"Turn Right", MENU_TURN_RIGHT},
    {"Turn Left", MENU_TURN_LEFT},
    {kSeparator, MENU_SEPARATOR},
    {"STOP !!", MENU_STOP},
    {kSeparator, MENU_SEPARATOR},
    {"Correct Value", MENU_CORRECT},
};

struct DataItem {
    DWORD definition;
    const char *variable;
    const char *units;
};

const DataItem kDataItems[] = {
    {DEF_POSITION, "Plane Latitude", "radians"},
    {DEF_POSITION, "Plane Longitude", "radians"},
    {DEF_POSITION, "Plane Altitude", "feet"},
    {DEF_POSITION, "Plane Heading Degrees True", "radians"},
    // With the position, so every decision to send Shift+P reads the
    // simulator's own answer of the same frame, never the add-on's guess.
    {DEF_POSITION, "PUSHBACK STATE", "enum"},
    {DEF_ON_GROUND, "Sim On Ground", "bool"},
    {DEF_ENGINES, "NUMBER OF ENGINES", "number"},
    {DEF_ENGINES, "ENG COMBUSTION:1", "bool"},
    {DEF_ENGINES, "ENG COMBUSTION:2", "bool"},
    {DEF_ENGINES, "ENG COMBUSTION:3", "bool"},
    {DEF_ENGINES, "ENG COMBUSTION:4", "bool"},
    {DEF_BRAKE, "BRAKE PARKING POSITION", "position"},
};

// The quotes the player's path is written between.
const size_t kQuotes = 2;

bool FitsWithFileName(const char *folder, const char *fileName, size_t extra) {
    return strlen(folder) + strlen(fileName) + extra <= TEXT_SIZE - 1;
}

// A simulator's folder as its registry value holds it, taken only when it
// ends inside the buffer. False when there is no such value.
bool ReadRegistryFolder(const char *subKey, const char *name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char value[TEXT_SIZE];
    DWORD size = sizeof value;
    // The stored value may lack its NUL or fill the whole buffer.
    const LONG read = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(value), &size);
    if (read == ERROR_SUCCESS && size <= sizeof value) {
        const size_t length = strnlen(value, size);
        if (length < sizeof value) {
            memcpy(PushbackState.setupPath, value, length);
            PushbackState.setupPath[length] = '\0';
        }
    }
    RegCloseKey(key);
    return read == ERROR_SUCCESS || read == ERROR_MORE_DATA;
}

// Without the program's path nothing tells which simulator loaded us: the
// first that has a machine value, in the editions table's order (the boxed
// edition's SetupPath first, as it always was).
void ReadRegistrySetupPath() {
    PushbackState.setupPath[0] = '\0';
    for (int e = 0; e < kEditionCount; ++e) {
        for (const EditionKey &key : kEditions[e].keys)
            if (key.machine && ReadRegistryFolder(key.subKey, key.value)) return;
    }
}

// The folder part of the program's path, up to and including its last
// separator; a folder longer than setupPath holds is left empty.
void TakeProgramFolder(const char *programPath) {
    PushbackState.setupPath[0] = '\0';
    const char *lastSeparator = nullptr;
    for (const char *p = programPath; *p != '\0'; ++p)
        if (*p == '\\' || *p == '/') lastSeparator = p;
    const size_t length = static_cast<size_t>(lastSeparator - programPath) + 1;
    if (length >= sizeof PushbackState.setupPath) return;
    memcpy(PushbackState.setupPath, programPath, length);
    PushbackState.setupPath[length] = '\0';
}

bool HasSeparator(const char *path) { return strchr(path, '\\') != nullptr || strchr(path, '/') != nullptr; }

// A program path longer than this has no folder that the file names fit beside.
const DWORD kProgramPathSize = 2 * TEXT_SIZE;

// A folder that leaves no room for either file name counts as unreadable, so
// no name is ever cut into another file's.
void FormConfigPath() {
    if (!FitsWithFileName(PushbackState.setupPath, kConfigFileName, 0) ||
        !FitsWithFileName(PushbackState.setupPath, kPlayerFileName, kQuotes))
        PushbackState.setupPath[0] = '\0';
    snprintf(PushbackState.configPath, sizeof PushbackState.configPath, "%s%s", PushbackState.setupPath,
             kConfigFileName);
}

}  // namespace

void UseSimulatorFolder(const char *programPath) {
    if (programPath != nullptr && HasSeparator(programPath))
        TakeProgramFolder(programPath);
    else
        ReadRegistrySetupPath();
    FormConfigPath();
}

void ReadSetupPath() {
    char program[kProgramPathSize];
    const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length == 0) {
        UseSimulatorFolder(nullptr);
    } else if (length >= sizeof program) {
        // Cut short, its folder part could name another folder; the simulator
        // folder counts as unreadable, as one too long for the file names does.
        PushbackState.setupPath[0] = '\0';
        FormConfigPath();
    } else {
        UseSimulatorFolder(program);
    }
}

void FormPlayerCommandLine(char (&commandLine)[256]) {
    // Quoted: unquoted, "C:\Program Files (x86)\..." would start a program
    // named by the path's first part.
    snprintf(commandLine, sizeof commandLine, "\"%s%s\"", PushbackState.setupPath, kPlayerFileName);
}

bool OpenConnection() {
    return SUCCEEDED(SimConnect_Open(&PushbackState.simConnect, "DrovanaX", nullptr, 0, nullptr, 0));
}

void CloseConnection() {
    // Cleared before the close: nothing still running is handed a closed one.
    HANDLE closing = PushbackState.simConnect;
    PushbackState.simConnect = nullptr;
    if (closing != nullptr) SimConnect_Close(closing);
}

void RegisterWithSimulator() {
    HANDLE sim = PushbackState.simConnect;
    SimConnect_MenuAddItem(sim, "Drovana...", MENU_ROOT, 0);
    for (size_t i = 0; i < sizeof kMenu / sizeof kMenu[0]; ++i)
        SimConnect_MenuAddSubItem(sim, MENU_ROOT, kMenu[i].caption, kMenu[i].eventId, 0);

    for (size_t i = 0; i < sizeof kDataItems / sizeof kDataItems[0]; ++i)
        SimConnect_AddToDataDefinition(sim, kDataItems[i].definition, kDataItems[i].variable, kDataItems[i].units,
                                       SIMCONNECT_DATATYPE_FLOAT64, 0.0f, SIMCONNECT_UNUSED);

    SimConnect_SubscribeToSystemEvent(sim, EVENT_AIRCRAFT_LOADED, "AircraftLoaded");
    SimConnect_SubscribeToSystemEvent(sim, EVENT_SIM_START, "SimStart");

    for (DWORD n = DEF_POSITION; n <= DEF_BRAKE; ++n)
        SimConnect_RequestDataOnSimObject(sim, n, n, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_VISUAL_FRAME, 0, 0,
                                          0, 0);
}

void StoreAircraftKey(const char *reportedPath) {
    const size_t length = strnlen(reportedPath, AIRCRAFT_PATH_SIZE - 1);
    memcpy(PushbackState.aircraftPath, reportedPath, length);
    PushbackState.aircraftPath[length] = '\0';

    PathParts parts;
    SplitPath(PushbackState.aircraftPath, &parts);
    lstrcpynA(PushbackState.aircraftKey, parts.baseName, sizeof PushbackState.aircraftKey);
}
