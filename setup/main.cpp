// DrovanaSetup: installs DrovanaX into the simulator folder and enters it in
// the pilot's dll.xml, or removes both (/uninstall).
#include <windows.h>

#include "command_line.h"
#include "dialogs.h"
#include "folders.h"
#include "languages.h"
#include "setup_exit.h"
#include "setup_run.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    SetupOptions options;
    char report[2048] = "";
    if (!ParseCommandLine(commandLine, &options, report, sizeof(report))) {
        AppendText(report, sizeof(report), "\n\n%s", kUsage);
        ShowOutcome(options, SETUP_BAD_COMMAND_LINE, report);
        return SETUP_BAD_COMMAND_LINE;
    }
    SetupPlaces places = {};
    // A language the package has no set for is a wrong command line, known
    // before any folder is looked at, let alone changed.
    CueLanguageList languages;
    if (options.language[0] && FindPackageFolder(places.packageFolder, sizeof(places.packageFolder)) &&
        ReadCueLanguages(places.packageFolder, &languages) && FindCueLanguage(languages, options.language) < 0) {
        AppendText(report, sizeof(report), "Unknown language \"/LANG=%s\": the voice cues come in",
                   options.language);
        for (int i = 0; i < languages.count; ++i)
            AppendText(report, sizeof(report), "%s %s", i ? "," : "", languages.languages[i].code);
        AppendText(report, sizeof(report), ".\n\n%s", kUsage);
        ShowOutcome(options, SETUP_BAD_COMMAND_LINE, report);
        return SETUP_BAD_COMMAND_LINE;
    }
    if (!FindSimFolder(options.simFolder, places.simFolder, sizeof(places.simFolder))) {
        if (options.simFolder[0])
            AppendText(report, sizeof(report), "%s is no folder.", options.simFolder);
        else
            AppendText(report, sizeof(report), "No simulator folder: the registry names none. Give it with /D=FOLDER.");
        ShowOutcome(options, SETUP_NO_SIM_FOLDER, report);
        return SETUP_NO_SIM_FOLDER;
    }
    if (!FindPackageFolder(places.packageFolder, sizeof(places.packageFolder)) ||
        (!options.filesOnly && !FindDllXmlPath(places.dllXml, sizeof(places.dllXml)))) {
        AppendText(report, sizeof(report), "The application-data folder or this program's folder is unknown.");
        ShowOutcome(options, SETUP_WRITE_FAILED, report);
        return SETUP_WRITE_FAILED;
    }
    if (!options.filesOnly && !ConfirmSetup(options, places.simFolder)) return SETUP_CANCELLED;
    const int code = RunSetup(options, places, report, sizeof(report));
    ShowOutcome(options, code, report);
    return code;
}
