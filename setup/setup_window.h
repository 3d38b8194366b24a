// DrovanaSetup's one window (Unicode, so that any language's text shows):
// the editions found, each with a check box, all ticked; a browse button when
// none was found; Install, Remove and Cancel; then a result line for each
// edition. Its rows are laid out top to bottom by one function, so a row
// (a choice of language, say) goes in between two others.
#ifndef DROVANA_SETUP_SETUP_WINDOW_H
#define DROVANA_SETUP_SETUP_WINDOW_H

#include <windows.h>

#include <string>

#include "command_line.h"
#include "editions.h"
#include "languages.h"

// Control ids, for the pilot's keyboard and for tests.
enum SetupWindowControl {
    IDC_SETUP_INSTALL = 1001,
    IDC_SETUP_REMOVE = 1002,
    IDC_SETUP_CANCEL = IDCANCEL,
    IDC_SETUP_BROWSE = 1003,
    IDC_SETUP_RESULTS = 1004,
    IDC_SETUP_LANGUAGE = 1005,
    IDC_SETUP_FIRST_EDITION = 1100,  // then one id for each edition's check box
};

extern const wchar_t kSetupWindowClass[];

// Does the job for the ticked editions, as RunEditions does, on a thread of
// its own; cancelled is set when the pilot presses Cancel meanwhile.
typedef int (*SetupJob)(void *context, bool uninstall, const FoundEdition *targets, int count, std::string *report,
                        const volatile LONG *cancelled);

// The language row: the package's languages by their own names, one
// preselected; an install writes the code picked into chosen before its job.
struct LanguageChoice {
    const CueLanguageList *list;
    int preselected;
    char *chosen;
    size_t chosenSize;
};

// Shows the window until the pilot closes it. The exit code: the job's, or
// SETUP_CANCELLED when the pilot closed it without one. Without languages
// the window has no language row.
int RunSetupWindow(const SetupOptions &options, const FoundEdition *targets, int count, SetupJob job,
                   void *context, const LanguageChoice *languages = nullptr);

#endif
