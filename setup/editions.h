// The simulator's editions, where each keeps its folder and its dll.xml, and
// which of them this machine has. One table holds what differs between them;
// one loop reads it.
#ifndef DROVANA_SETUP_EDITIONS_H
#define DROVANA_SETUP_EDITIONS_H

#include <windows.h>

#include <stddef.h>

struct EditionKey {
    HKEY root;
    const char *subKey;
    const char *value;
};

struct Edition {
    const char *name;             // "boxed edition", "Steam Edition": what messages and the window say
    const char *entryName;        // the Apps & features name
    EditionKey keys[2];           // registry values naming its folder
    const char *dllXmlAlone;      // its folder under %APPDATA%\Microsoft when it is the only edition
    const char *dllXmlBeside;     // ... when another edition is installed beside it
};

extern const Edition kEditions[];
extern const int kEditionCount;
// The edition a folder that no key names is taken for (its dll.xml with it).
extern const Edition &kBoxedEdition;

struct FoundEdition {
    const Edition *edition;
    char folder[MAX_PATH];  // full path, trailing backslash
    char dllXml[MAX_PATH];  // <application data>\Microsoft\<FSX or FSX-SE>\dll.xml
};

const int kMaxEditions = 8;

// Every edition the registry names with an existing folder, each folder once.
// A folder named by the keys of two editions is the later one's: the Steam
// Edition installed alone writes the boxed edition's keys too. Returns the
// count; dll.xml paths are set.
int FindEditions(FoundEdition *found, int capacity);

// The one folder of /D=: the edition whose folder it is, else the boxed
// edition (with the dll.xml the boxed edition uses). False when the folder
// does not exist or does not fit.
bool EditionOfFolder(const char *given, FoundEdition *target);

// A registry value as stored: it may lack its terminator. False when absent.
bool ReadRegistryText(HKEY root, const char *subKey, const char *value, char *text, size_t size);

// Two folders are the same folder: case-insensitive, trailing backslashes aside.
bool SameFolder(const char *a, const char *b);

#endif
