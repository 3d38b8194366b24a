// The files DrovanaX puts in the simulator folder, installed and removed all
// or nothing: DrovanaX.dll, Kestrola.exe, the voice cues under
// DrovanaX\Sounds (one language's set: cue_set.h), and Drovana.cfg when the
// folder has none. What an
// uninstall needs without the package is kept under DrovanaX: a copy of
// DrovanaSetup.exe (the Apps & features entry runs it), the package's dll.xml
// skeleton, and the list of the files the install put in place, which is
// exactly what the uninstall removes.
//
// Installing copies every new file beside its target first, then swaps them
// in, keeping the old ones under another name until all are in; removing
// renames every file away before it deletes any. A failure at any step puts
// back what was there. A program held open (a running simulator maps the DLL,
// its player runs from Kestrola.exe) stops the whole step before anything
// changes.
#ifndef DROVANA_SETUP_FILE_SET_H
#define DROVANA_SETUP_FILE_SET_H

#include <windows.h>

#include <string>
#include <vector>

// The programs DrovanaX puts in the simulator folder, the first its DLL:
// installed, packaged, removed and checked for being in use from this table.
extern const char *const kPrograms[];
extern const int kProgramCount;
extern const char kAddonDll[];
// Beside DrovanaSetup.exe in the package.
extern const char kPackageSetup[];
extern const char kPackageDllXml[];
// Relative to the simulator folder.
extern const char kKeptSetup[];
extern const char kKeptSkeleton[];
extern const char kInstalledList[];

enum FileSetResult {
    FILES_DONE,
    FILES_IN_USE,              // failedPath is held open
    FILES_WRITE_FAILED,        // failedPath could not be written, error says why
    FILES_PACKAGE_INCOMPLETE,  // failedPath is missing from the package
};

struct FileSetReport {
    int programs;                        // DrovanaX.dll and Kestrola.exe copied or removed
    int cues;                            // voice cues copied or removed
    bool configCopied;                   // Drovana.cfg was absent and the sample went in
    bool configKept;                     // Drovana.cfg was there and stays as it was
    bool configRemoved;                  // /purge
    bool soundsFolderKept;               // DrovanaX\Sounds holds files of the pilot's own
    bool cuesUnknown;                    // neither a list nor the package tells DrovanaX's cues from the pilot's
    std::vector<std::string> pilotsOwn;  // cues left as they were: not what DrovanaSetup put there
    char failedPath[MAX_PATH];
    DWORD error;
};

// True when every file the install copies lies in the package folder.
bool PackageIsComplete(const char *packageFolder, FileSetReport *report);

// The size of the files the kept list names.
unsigned long long InstalledSize(const char *simFolder);

// DrovanaX is in the folder: its DLL or the list an install kept.
bool IsInstalledIn(const char *simFolder);

// language: the code of the package's cue set to install (languages.h); it
// is kept beside the list, in DrovanaX\language.txt. A cue the pilot put in
// place of one of ours stays, and the new set's cue of that name is not
// installed (report->pilotsOwn names it).
FileSetResult InstallFiles(const char *packageFolder, const char *simFolder, const char *language,
                           FileSetReport *report);

// Removes the files of the list the install kept; without one (an install by
// hand, or by an older DrovanaSetup) the programs and the cues that are byte
// for byte one of the package's. The pilot's own cues stay. The folders go
// when nothing else is left in them. Drovana.cfg goes only with purge. With
// keptCopyRunning the kept DrovanaSetup.exe is left for
// RemoveKeptSetupLeftAlone, once its process has ended.
FileSetResult RemoveFiles(const char *packageFolder, const char *simFolder, bool purge, bool keptCopyRunning,
                          FileSetReport *report);

// What the map program wrote in the pilot's own DrovanaX folder
// (PilotDataFolder) when a simulator folder's refused it, and that folder
// once it is empty: for the account this runs as.
void RemovePilotsMapFiles();

// The kept DrovanaSetup.exe of a folder DrovanaX has been removed from (its
// list is gone), and the folders that leaves empty.
void RemoveKeptSetupLeftAlone(const char *simFolder);

#endif
