// DrovanaSetup: installs DrovanaX into every edition of the simulator found
// (or the one /D= names) and enters it in each edition's dll.xml, or removes
// both (/uninstall). The window lets the pilot choose; /S does them all.
#include <windows.h>

#include <string>

#include "command_line.h"
#include "report_text.h"
#include "editions.h"
#include "editions_run.h"
#include "folders.h"
#include "kept_copy.h"
#include "languages.h"
#include "setup_exit.h"
#include "setup_window.h"

namespace {

struct WindowJob {
    SetupOptions options;
    char packageFolder[MAX_PATH];
};

WindowJob job;

int RunWindowJob(void *context, bool uninstall, const FoundEdition *targets, int count, std::string *report,
                 const volatile LONG *cancelled) {
    WindowJob *job = static_cast<WindowJob *>(context);
    SetupOptions options = job->options;
    options.uninstall = uninstall;
    options.purge = options.purge && uninstall;
    return RunEditions(options, job->packageFolder, targets, count, report, cancelled);
}

// The window's language row: the language given with /LANG=, else the one
// installed in the first edition that remembers one, else Windows' own.
int PreselectForEditions(const CueLanguageList &list, const SetupOptions &options, const FoundEdition *targets,
                         int count) {
    int found = FindCueLanguage(list, options.language);
    for (int i = 0; i < count && found < 0; ++i) {
        char code[sizeof(options.language)];
        if (ReadInstalledLanguage(targets[i].folder, code, sizeof(code))) found = FindCueLanguage(list, code);
    }
    return found >= 0 ? found : PreselectCueLanguage(list, nullptr);
}

int RunProgram(LPSTR commandLine) {
    std::string report;
    SetupOptions &options = job.options;
    char error[1024] = "";
    if (!ParseCommandLine(commandLine, &options, error, sizeof(error))) {
        report = error;
        AppendText(&report, "\n\n%s", kUsage);
        ShowProblem(options, report.c_str());
        return SETUP_BAD_COMMAND_LINE;
    }
    if (!options.filesOnly && RunsAsKeptCopy()) return HandOverToTemporaryCopy(commandLine);
    if (!FindPackageFolder(job.packageFolder, sizeof(job.packageFolder))) {
        ShowProblem(options, "This program's folder is unknown.");
        return SETUP_WRITE_FAILED;
    }
    // A language the package has no set for is a wrong command line, known
    // before any edition is looked at, let alone changed.
    static CueLanguageList languages;
    const bool listed = ReadCueLanguages(job.packageFolder, &languages);
    if (options.language[0] && listed && FindCueLanguage(languages, options.language) < 0) {
        AppendText(&report, "Unknown language \"/LANG=%s\": the voice cues come in",
                   options.language);
        for (int i = 0; i < languages.count; ++i)
            AppendText(&report, "%s %s", i ? "," : "", languages.languages[i].code);
        AppendText(&report, ".\n\n%s", kUsage);
        ShowProblem(options, report.c_str());
        return SETUP_BAD_COMMAND_LINE;
    }
    if (options.filesOnly) return RunFilesOnly(options, job.packageFolder);
    // The simulator is named for a folder the registry may not know; without
    // one there is nothing to name.
    const Edition *named = EditionByCode(options.simulator[0] ? options.simulator : nullptr);
    if (options.simulator[0] && (named == nullptr || !options.simFolder[0])) {
        if (named == nullptr) {
            AppendText(&report, "Unknown simulator \"/SIM=%s\": DrovanaX installs into", options.simulator);
            for (int e = 0; e < kEditionCount; ++e) AppendText(&report, "%s %s", e ? "," : "", kEditions[e].code);
        } else {
            AppendText(&report, "/SIM=%s names the simulator of the /D= folder: give the folder too",
                       options.simulator);
        }
        AppendText(&report, ".\n\n%s", kUsage);
        ShowProblem(options, report.c_str());
        return SETUP_BAD_COMMAND_LINE;
    }

    static FoundEdition targets[kMaxEditions];
    int count = 0;
    if (options.simFolder[0]) {
        if (!EditionOfFolder(options.simFolder, named, &targets[0])) {
            AppendText(&report, "%s is no folder.", options.simFolder);
            ShowProblem(options, report.c_str());
            return SETUP_NO_SIM_FOLDER;
        }
        count = 1;
    } else {
        count = FindEditions(targets, kMaxEditions);
        if (count == 0 && options.silent) {
            ShowProblem(options, "No simulator folder: the registry names none. Give it with /D=FOLDER.");
            return SETUP_NO_SIM_FOLDER;
        }
        // The window lists every edition (Remove where DrovanaX is not
        // changes nothing); a silent removal takes those it is in.
        if (options.uninstall && options.silent) count = KeepInstalled(targets, count);
    }
    if (!options.silent) {
        LanguageChoice choice = {&languages, PreselectForEditions(languages, options, targets, count),
                                 options.language, sizeof(options.language)};
        return RunSetupWindow(options, targets, count, RunWindowJob, &job, listed ? &choice : nullptr);
    }
    if (count == 0) {
        WriteOutput("DrovanaX is installed in no simulator edition found: nothing to remove.\n");
        return SETUP_DONE;
    }
    const int code = RunEditions(options, job.packageFolder, targets, count, &report);
    WriteOutput(report.c_str());
    return code;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    const int code = RunProgram(commandLine);
    // The administrator's run is handed /after= only to spare the kept copy;
    // the run that started it hands the result over.
    if (job.options.afterProcess != 0 && !job.options.filesOnly)
        FinishHandOver(job.options.afterProcess, code, job.options.simFolder);
    return code;
}
