// DrovanaSetup.exe's switches:
//   /S            silent: no boxes, the exit code tells
//   /D=FOLDER     the simulator folder (NSIS style: the rest of the line, so
//                 it comes last and may hold blanks; quotes are allowed)
//   /uninstall    remove DrovanaX instead of installing it
//   /purge        with /uninstall: remove Drovana.cfg too
//   /LANG=CODE    the language of the voice cues (languages.h): before /D=
//   /filesonly    the simulator folder's files only, leaving dll.xml alone:
//                 what the administrator's run does when the folder needs one
#ifndef DROVANA_SETUP_COMMAND_LINE_H
#define DROVANA_SETUP_COMMAND_LINE_H

#include <windows.h>

#include <stddef.h>

struct SetupOptions {
    bool silent;
    bool uninstall;
    bool purge;
    bool filesOnly;
    char language[16];         // /LANG= as given; empty: the run preselects one
    char simFolder[MAX_PATH];  // empty: take the registry's SetupPath
};

// Reads the arguments after the program name. False, with the reason in
// error, for anything it does not know; then only silent is to be used.
bool ParseCommandLine(const char *arguments, SetupOptions *options, char *error, size_t errorSize);

// The arguments that hand the same job to another run of this program, with
// /filesonly /S added (and /LANG=, which the files need); false when they do
// not fit.
bool FormFilesOnlyArguments(const SetupOptions &options, const char *simFolder, char *arguments, size_t size);

#endif
