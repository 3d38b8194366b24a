// Where things are: the simulator folder, the pilot's dll.xml, the package
// this program was unpacked with. Folders are kept with a trailing backslash.
#ifndef DROVANA_SETUP_FOLDERS_H
#define DROVANA_SETUP_FOLDERS_H

#include <stddef.h>

// The folder named on the command line, else the registry's SetupPath (the
// value the add-on reads), as a full path with a trailing backslash. False
// when the chosen one is empty or is no existing folder.
bool FindSimFolder(const char *given, char *folder, size_t size);

// HKLM "SOFTWARE\Microsoft\microsoft games\flight simulator\10.0" "SetupPath"
// as stored; false when there is none.
bool ReadSetupPath(char *value, size_t size);

// <the pilot's application-data folder>\Microsoft\FSX\dll.xml
bool FindDllXmlPath(char *path, size_t size);

// The folder of this program's file: where the files to install lie.
bool FindPackageFolder(char *folder, size_t size);

// folder + name into out; false (out empty) when it does not fit.
bool JoinPath(char *out, size_t size, const char *folder, const char *name);

// The path without its last component, with the trailing backslash.
bool ParentFolder(const char *path, char *folder, size_t size);

#endif
