// The files DrovanaX puts in the simulator folder, installed and removed all
// or nothing: DrovanaX.dll, Kestrola.exe, the voice cues under
// DrovanaX\Sounds (one language's set: cue_set.h), and Drovana.cfg when the
// folder has none.
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

enum FileSetResult {
    FILES_DONE,
    FILES_IN_USE,              // failedPath is held open
    FILES_WRITE_FAILED,        // failedPath could not be written, error says why
    FILES_PACKAGE_INCOMPLETE,  // failedPath is missing from the package
};

struct FileSetReport {
    int programs;          // DrovanaX.dll and Kestrola.exe copied or removed
    int cues;              // voice cues copied or removed
    bool configCopied;     // Drovana.cfg was absent and the sample went in
    bool configKept;       // Drovana.cfg was there and stays as it was
    bool configRemoved;    // /purge
    bool soundsFolderKept; // DrovanaX\Sounds holds files of the pilot's own
    bool cuesUnknown;      // the package has no cues to tell DrovanaX's from the pilot's
    char failedPath[MAX_PATH];
    DWORD error;
};

// True when every file the install copies lies in the package folder.
bool PackageIsComplete(const char *packageFolder, FileSetReport *report);

// language: the code of the package's cue set to install (languages.h).
FileSetResult InstallFiles(const char *packageFolder, const char *simFolder, const char *language,
                           FileSetReport *report);

// The cues removed are those named as any of the package's sets names them; the folders go
// when nothing else is left in them. Drovana.cfg goes only with purge.
FileSetResult RemoveFiles(const char *packageFolder, const char *simFolder, bool purge, FileSetReport *report);

#endif
