#include "editions_run.h"

#include <string>
#include <vector>

#include "apps_entry.h"
#include "report_text.h"
#include "elevation.h"
#include "file_set.h"
#include "folders.h"
#include "load_check.h"
#include "pilot_access.h"
#include "setup_exit.h"
#include "edition_steps.h"

namespace {

struct EditionJob {
    const FoundEdition *target;
    SetupPlaces places;
    DllXmlPlan plan;
    int code;
    bool filesByAdministrator;
    std::string text;
};

void Describe(const EditionJob &job, bool uninstall, std::string *report) {
    const char *done = uninstall ? "DrovanaX removed" : "DrovanaX installed";
    if (job.code == SETUP_DONE)
        AppendText(report, "%s, %s: %s.\n", job.target->edition->name, job.target->folder, done);
    else
        AppendText(report, "%s, %s: not done, exit code %d.\n", job.target->edition->name,
                   job.target->folder, job.code);
    AppendText(report, "%s\n", job.text.c_str());
}

// The warning of an install the simulator would not load.
void CheckLoads(EditionJob *job) {
    DWORD error = 0;
    const LoadCheck check = CheckAddonLoads(job->places.simFolder, &error);
    if (check == LOAD_NOT_CHECKED) {
        AppendText(&job->text, "Whether the simulator can load DrovanaX.dll was not checked "
                   "(error %lu).\n", error);
    } else if (check == LOAD_ASSEMBLY_MISSING) {
        const Edition &edition = *job->target->edition;
        char msi[MAX_PATH];
        AppendText(&job->text, "Warning: this simulator (%s) will not load DrovanaX yet. SimConnect %s is missing on "
                   "this computer (DrovanaX talks to the simulator through it). %s",
                   edition.name, kSimConnectVersion, edition.simConnectSource);
        if (FindSimConnectInstaller(job->places.simFolder, edition.simConnectFolder, msi, sizeof(msi)))
            AppendText(&job->text, ": run %s, then start the simulator.\n", msi);
        else
            AppendText(&job->text, " (a SimConnect.msi under %s%s), then start the simulator.\n",
                       job->places.simFolder, edition.simConnectFolder);
    }
}

void FinishEdition(const SetupOptions &options, EditionJob *job) {
    job->code = FinishDllXml(options, job->places, job->plan, &job->text);
    if (job->code != SETUP_DONE) return;
    if (options.uninstall) {
        if (!RemoveAppsEntry(job->places.simFolder))
            AppendText(&job->text, "Its Apps & features entry could not be removed.\n");
        RemovePilotsMapFiles();
        return;
    }
    if (!RegisterAppsEntry(*job->target, InstalledSize(job->places.simFolder)))
        AppendText(&job->text, "Its Apps & features entry could not be written.\n");
    CheckLoads(job);
}

// The files of every folder that needs an administrator, in one run.
void AdministratorFiles(const SetupOptions &options, std::vector<EditionJob> *jobs) {
    std::string folders;
    int indices[kMaxFolders];
    int count = 0;
    for (size_t i = 0; i < jobs->size() && count < kMaxFolders; ++i) {
        EditionJob &job = (*jobs)[i];
        if (job.code != SETUP_DONE || !FolderNeedsAdministrator(job.places.simFolder)) continue;
        AppendText(&folders, "%s%s", count ? "|" : "", job.places.simFolder);
        indices[count++] = static_cast<int>(i);
        job.filesByAdministrator = true;
    }
    if (count == 0) return;
    // The administrator may be another account: what DrovanaX writes there
    // is made writable for the pilot, who runs this.
    SetupOptions administrator = options;
    if (!options.uninstall && administrator.pilotSid[0] == '\0')
        CurrentAccountSid(administrator.pilotSid, sizeof(administrator.pilotSid));
    int codes[kMaxFolders];
    RunFilesAsAdministrator(administrator, folders.c_str(), count, codes);
    for (int k = 0; k < count; ++k) {
        EditionJob &job = (*jobs)[static_cast<size_t>(indices[k])];
        job.code = codes[k];
        DescribeAdministratorRun(options, job.places, job.code, &job.text);
    }
}

}  // namespace

int KeepInstalled(FoundEdition *targets, int count) {
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        if (IsInstalledIn(targets[i].folder)) targets[kept++] = targets[i];
    }
    return kept;
}

int RunEditions(const SetupOptions &options, const char *packageFolder, const FoundEdition *targets, int count,
                std::string *report, const volatile LONG *cancelled) {
    report->clear();
    std::vector<EditionJob> jobs(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        EditionJob &job = jobs[static_cast<size_t>(i)];
        job.filesByAdministrator = false;
        job.target = &targets[i];
        lstrcpynA(job.places.packageFolder, packageFolder, sizeof(job.places.packageFolder));
        lstrcpynA(job.places.simFolder, targets[i].folder, sizeof(job.places.simFolder));
        lstrcpynA(job.places.dllXml, targets[i].dllXml, sizeof(job.places.dllXml));
        job.code = PrepareSetup(options, job.places, &job.plan, &job.text);
    }
    // The last moment the pilot's Cancel can take effect: nothing has
    // changed yet, and the administrator's prompt comes next.
    if (cancelled != nullptr && *cancelled) {
        for (EditionJob &job : jobs) {
            if (job.code != SETUP_DONE) continue;
            job.code = SETUP_CANCELLED;
            AppendText(&job.text, "Cancelled. Nothing was changed.\n");
        }
    }
    AdministratorFiles(options, &jobs);
    int runCode = SETUP_DONE;
    for (size_t i = 0; i < jobs.size(); ++i) {
        EditionJob &job = jobs[i];
        if (job.code == SETUP_DONE && !job.filesByAdministrator)
            job.code = CopyFilesStep(options, job.places, &job.text);
        // Two folders of one edition share its dll.xml (a stale AppPath
        // beside SetupPath): the plan made before an earlier one changed it
        // is made again from the file as it is now.
        bool shared = false;
        for (size_t j = 0; j < i; ++j) shared = shared || lstrcmpiA(jobs[j].places.dllXml, job.places.dllXml) == 0;
        if (job.code == SETUP_DONE && shared)
            job.code = PrepareSetup(options, job.places, &job.plan, &job.text);
        if (job.code == SETUP_DONE) FinishEdition(options, &job);
        Describe(job, options.uninstall, report);
        if (runCode == SETUP_DONE) runCode = job.code;
    }
    return runCode;
}

int RunFilesOnly(const SetupOptions &options, const char *packageFolder) {
    int codes[kMaxFolders];
    int count = 0;
    char given[MAX_PATH];
    for (; count < kMaxFolders && FolderOfList(options.simFolder, count, given, sizeof(given)); ++count) {
        SetupPlaces places = {};
        DllXmlPlan plan;
        std::string text;  // this run is silent: its exit code is all it says
        lstrcpynA(places.packageFolder, packageFolder, sizeof(places.packageFolder));
        codes[count] = FindSimFolder(given, places.simFolder, sizeof(places.simFolder))
                           ? PrepareSetup(options, places, &plan, &text)
                           : SETUP_NO_SIM_FOLDER;
        if (codes[count] == SETUP_DONE) codes[count] = CopyFilesStep(options, places, &text);
    }
    return static_cast<int>(PackAdministratorCodes(codes, count));
}
