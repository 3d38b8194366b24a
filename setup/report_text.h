// The texts DrovanaSetup gives outside its window: the box for a run that
// cannot start (a wrong command line, no folder), and the result lines of a
// silent run, which go to the standard output a script gave it.
#ifndef DROVANA_SETUP_DIALOGS_H
#define DROVANA_SETUP_DIALOGS_H

#include <stddef.h>

#include "command_line.h"

// An error box, unless the run is silent; the text goes to the standard
// output either way.
void ShowProblem(const SetupOptions &options, const char *text);

// The text on the standard output, when the run has one.
void WriteOutput(const char *text);

// Formats onto the end of text, cutting what does not fit.
void AppendText(char *text, size_t size, const char *format, ...) __attribute__((format(printf, 3, 4)));

// The switches and the exit codes, for a command line that is wrong.
extern const char kUsage[];

#endif
