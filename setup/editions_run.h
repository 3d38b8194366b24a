// One run over several editions: each is installed or removed on its own
// (one that fails changes nothing in itself and does not stop the others),
// and the folders that need an administrator go to a single administrator's
// run together, so the pilot is asked at most once.
#ifndef DROVANA_SETUP_EDITIONS_RUN_H
#define DROVANA_SETUP_EDITIONS_RUN_H

#include <windows.h>

#include <string>

#include "command_line.h"
#include "editions.h"

// The editions to remove DrovanaX from: those of targets it is installed in.
int KeepInstalled(FoundEdition *targets, int count);

// Installs into (or, with /uninstall, removes from) each target. report gets
// a result line per edition naming it, followed by what was done or why not.
// Returns 0 when every edition succeeded, else the first failing one's code.
// cancelled (the window's Cancel, from another thread) is read once, after
// every edition is checked and before anything changes: then every edition
// is SETUP_CANCELLED.
int RunEditions(const SetupOptions &options, const char *packageFolder, const FoundEdition *targets, int count,
                std::string *report, const volatile LONG *cancelled = nullptr);

// The administrator's run (/filesonly): the files of each folder of its /D=
// list. Its exit code holds each folder's code (PackAdministratorCodes).
int RunFilesOnly(const SetupOptions &options, const char *packageFolder);

#endif
