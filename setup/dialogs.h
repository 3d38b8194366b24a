// What the pilot sees: the question before the work and the box that says
// what was done. A silent run (/S) shows neither; its exit code tells.
#ifndef DROVANA_SETUP_DIALOGS_H
#define DROVANA_SETUP_DIALOGS_H

#include <stddef.h>

#include "command_line.h"

// "Install DrovanaX into <folder>?" (or the removal question), OK/Cancel.
// True for OK, and always for a silent run.
bool ConfirmSetup(const SetupOptions &options, const char *simFolder);

// The closing box: information when code is SETUP_DONE, an error otherwise.
void ShowOutcome(const SetupOptions &options, int code, const char *text);

// Formats onto the end of text, cutting what does not fit.
void AppendText(char *text, size_t size, const char *format, ...) __attribute__((format(printf, 3, 4)));

// The switches and the exit codes, for a command line that is wrong.
extern const char kUsage[];

#endif
