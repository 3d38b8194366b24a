// DrovanaSetup.exe's switches:
//   /S            silent: no window, the exit code tells
//   /D=FOLDER     one simulator folder instead of every edition found (NSIS
//                 style: the rest of the line, so it comes last and may hold
//                 blanks; quotes are allowed)
//   /uninstall    remove DrovanaX instead of installing it
//   /purge        with /uninstall: remove Drovana.cfg too
//   /LANG=CODE    the language of the voice cues (languages.h): before /D=
//   /SIM=CODE     the simulator of the /D= folder (editions.h: FSX, FSX-SE,
//                 P3Dv1, P3Dv2, P3Dv3), for a folder no registry value names:
//                 before /D=
//   /filesonly    the simulator folders' files only, leaving dll.xml alone:
//                 what the administrator's run does for the folders that need
//                 one. Its /D= may name several folders, separated by '|'
//                 (a character no Windows path holds).
//   /after=PID    wait until that process has ended: the run from the
//                 temporary folder waits for the kept copy it was started by.
//                 With /filesonly: that kept copy runs, so its file stays.
//   /pilot=SID    with /filesonly: the account the files are installed for,
//                 which the administrator's run lets write what DrovanaX
//                 writes (pilot_access.h)
#ifndef DROVANA_SETUP_COMMAND_LINE_H
#define DROVANA_SETUP_COMMAND_LINE_H

#include <windows.h>

#include <stddef.h>

// The folders the administrator's run may be handed at once (its exit code
// holds a code for each).
const int kMaxFolders = 8;

struct SetupOptions {
    bool silent;
    bool uninstall;
    bool purge;
    bool filesOnly;
    char language[16];                       // /LANG= as given; empty: the run preselects one
    char simulator[16];                      // /SIM= as given; empty: the folder tells
    DWORD afterProcess;                      // 0: none
    char pilotSid[192];                      // /pilot=; empty: the account this runs as
    char simFolder[kMaxFolders * MAX_PATH];  // empty: every edition found; several only with /filesonly
};

// Reads the arguments after the program name. False, with the reason in
// error, for anything it does not know; then only silent is to be used.
bool ParseCommandLine(const char *arguments, SetupOptions *options, char *error, size_t errorSize);

// The index-th folder of a /filesonly /D= list into folder; false past the end.
bool FolderOfList(const char *list, int index, char *folder, size_t size);

// The arguments that hand the same job for the folders (a '|' list) to
// another run of this program, with /filesonly /S added (and /LANG=, which
// the files need, /after=, which names the kept copy that runs, and
// /pilot=); false when they do not fit.
bool FormFilesOnlyArguments(const SetupOptions &options, const char *folders, char *arguments, size_t size);
// Room for them: every folder a run may be handed and every switch at its longest.
const size_t kFilesOnlyArgumentsSize = kMaxFolders * MAX_PATH + 320;

#endif
