// The simulators DrovanaX installs into (the two FSX editions and Prepar3D v1
// to v3), where each keeps its folder, its dll.xml and its Scenery.CFG, and
// which of them this machine has. One table holds what differs between them;
// one loop reads it.
#ifndef DROVANA_SETUP_EDITIONS_H
#define DROVANA_SETUP_EDITIONS_H

#include <windows.h>

#include <stddef.h>

struct EditionKey {
    bool machine;  // HKLM (read in both views, see EditionRegistry), else HKCU
    const char *subKey;
    const char *value;
};

// The second place its Scenery.CFG may be, when the first is missing.
enum SecondSceneryCfg {
    SCENERY_CFG_OF_THE_OTHER_FSX,  // the other FSX edition's, under ProgramData
    SCENERY_CFG_IN_APPDATA_TOO,    // the same folder under the pilot's application data
};

struct Edition {
    const char *code;             // "FSX", "FSX-SE", "P3Dv1", ...: /SIM= and the Apps & features entry's Simulator
    const char *name;             // "boxed edition", "Prepar3D v2": what messages and the window say
    const char *entryName;        // the Apps & features name
    EditionKey keys[2];           // registry values naming its folder
    const char *dataAlone;        // its folder under %APPDATA% (dll.xml) and %ProgramData% (Scenery.CFG)
    const char *dataBeside;       // ... when another edition whose dataAlone is the same is installed too
    SecondSceneryCfg secondSceneryCfg;
    const char *program;          // the simulator's program in its folder
    WORD programMajor;            // that program's file version, major part; 0: any
    const char *simConnectFolder; // under its folder: where its SimConnect.msi lies
    const char *simConnectSource; // how the pilot gets the SimConnect client it lacks
};

extern const Edition kEditions[];
extern const int kEditionCount;
// The edition a folder that nothing names is taken for (its dll.xml with it).
extern const Edition &kBoxedEdition;

// /SIM= and a remembered Simulator value: the edition of that code, any case; null for none.
const Edition *EditionByCode(const char *code);

// How the edition of a folder was known, strongest first.
enum EditionEvidence {
    EDITION_NAMED,       // the pilot named it (/SIM=)
    EDITION_REMEMBERED,  // an install named it: the Simulator value of the folder's Apps & features entry
    EDITION_REGISTRY,    // the simulator's own registry values name the folder
    EDITION_PROGRAM,     // the simulator's program is in the folder
    EDITION_ASSUMED,     // nothing tells: the boxed edition, as before there were others
};

struct FoundEdition {
    const Edition *edition;
    EditionEvidence evidence;
    const char *data;       // the edition's dataAlone or dataBeside
    char folder[MAX_PATH];  // full path, trailing backslash
    char dllXml[MAX_PATH];  // <application data>\<data>\dll.xml
};

// Every key of five editions may name a folder of its own.
const int kMaxEditions = 10;

// Where the registry values are read. A 32-bit program on 64-bit Windows
// sees HKLM\SOFTWARE through the 32-bit view (Wow6432Node), which is where the
// 32-bit simulators' installers write; the 64-bit view is read when a value
// is not there. HKCU\Software is one for both views.
struct RegistryPlace {
    HKEY root;
    REGSAM view;  // KEY_WOW64_32KEY, KEY_WOW64_64KEY or 0
};
struct EditionRegistry {
    RegistryPlace machine[2];  // in the order read
    RegistryPlace user;
};
extern const EditionRegistry kSystemRegistry;

// Every edition the registry names with an existing folder, each folder once.
// A folder named by the keys of two editions is the later one's: the Steam
// Edition installed alone writes the boxed edition's keys too, and a Prepar3D
// folder may be given FSX's keys for installers that know only FSX. A folder
// DrovanaX was installed into for another simulator (/SIM=) is that one's.
// Returns the count; dll.xml paths are set.
int FindEditions(FoundEdition *found, int capacity);
int FindEditionsIn(const EditionRegistry &registry, FoundEdition *found, int capacity);

// The one folder of /D=: the edition named (null: none), else the one an
// install remembered for it, else the one whose registry values name it,
// else the one whose program is in it, else the boxed edition. False when
// the folder does not exist or does not fit.
bool EditionOfFolder(const char *given, const Edition *named, FoundEdition *target);

// A registry value as stored, in the given view: it may lack its terminator.
// False when absent.
bool ReadRegistryText(HKEY root, REGSAM view, const char *subKey, const char *value, char *text, size_t size);

// Two folders are the same folder: case-insensitive, trailing backslashes aside.
bool SameFolder(const char *a, const char *b);

// The folder's Apps & features entry (HKCU), which also remembers its edition:
// "Software\Microsoft\Windows\CurrentVersion\Uninstall\DrovanaX-<8 hex digits>".
bool EntryKeyOf(const char *simFolder, char *key, size_t size);
extern const char kEntrySimulatorValue[];

#endif
