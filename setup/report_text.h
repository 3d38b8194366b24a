// The texts of a run's result: built up line by line, shown in the window,
// in the box for a run that cannot start (a wrong command line, no folder),
// or written to the standard output a script gave a silent run.
#ifndef DROVANA_SETUP_REPORT_TEXT_H
#define DROVANA_SETUP_REPORT_TEXT_H

#include <string>

#include "command_line.h"

// An error box, unless the run is silent; the text goes to the standard
// output either way.
void ShowProblem(const SetupOptions &options, const char *text);

// The text on the standard output, when the run has one.
void WriteOutput(const char *text);

// The text in the system's code page as UTF-16, whole, for the window and
// the box.
std::wstring Wide(const char *text);

// Formats onto the end of text.
void AppendText(std::string *text, const char *format, ...) __attribute__((format(printf, 2, 3)));

// The switches and the exit codes, for a command line that is wrong.
extern const char kUsage[];

#endif
