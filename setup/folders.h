// Where things are: a simulator folder, the pilot's dll.xml, the package
// this program was unpacked with. Folders are kept with a trailing backslash.
#ifndef DROVANA_SETUP_FOLDERS_H
#define DROVANA_SETUP_FOLDERS_H

#include <stddef.h>

// A folder named on the command line or by the registry as a full path with
// a trailing backslash. False when it is empty or is no existing folder.
bool FindSimFolder(const char *given, char *folder, size_t size);

// The folder of this program's file: where the files to install lie.
bool FindPackageFolder(char *folder, size_t size);

// The DrovanaX folder in the local application data of the account this runs
// as: where the map program writes what the DrovanaX folder of a simulator
// refuses. False when the shell names no such place or it does not fit.
bool PilotDataFolder(char *folder, size_t size);

// folder + name into out; false (out empty) when it does not fit. out may be
// folder or name itself.
bool JoinPath(char *out, size_t size, const char *folder, const char *name);

// The path without its last component, with the trailing backslash.
bool ParentFolder(const char *path, char *folder, size_t size);

#endif
