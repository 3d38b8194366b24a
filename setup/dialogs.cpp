#include "dialogs.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "setup_exit.h"

namespace {

const char kCaption[] = "DrovanaX Setup";

}  // namespace

const char kUsage[] =
    "DrovanaSetup.exe [/S] [/LANG=CODE] [/uninstall [/purge]] [/D=FOLDER]\n"
    "  /S  silent   /D=FOLDER  the simulator folder (last on the line)\n"
    "  /LANG=CODE  the voice cues' language, such as de or pt-BR (INSTALL.txt lists them)\n"
    "  /uninstall  remove DrovanaX   /purge  remove Drovana.cfg too\n"
    "Exit codes: 0 done, 1 cancelled, 2 no simulator folder, 3 dll.xml not well-formed or not editable,\n"
    "4 a file could not be written, 5 a program is in use (close the simulator first),\n"
    "6 the package is incomplete, 7 a wrong command line.";

bool ConfirmSetup(const SetupOptions &options, const char *simFolder) {
    if (options.silent) return true;
    char question[MAX_PATH + 64];
    snprintf(question, sizeof(question), options.uninstall ? "Remove DrovanaX from %s?" : "Install DrovanaX into %s?",
             simFolder);
    return MessageBoxA(NULL, question, kCaption, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

void ShowOutcome(const SetupOptions &options, int code, const char *text) {
    if (options.silent || code == SETUP_CANCELLED) return;
    MessageBoxA(NULL, text, kCaption, MB_OK | (code == SETUP_DONE ? MB_ICONINFORMATION : MB_ICONERROR));
}

void AppendText(char *text, size_t size, const char *format, ...) {
    const size_t used = strlen(text);
    if (used + 1 >= size) return;
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text + used, size - used, format, arguments);
    va_end(arguments);
}
