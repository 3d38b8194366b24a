#include "edition_steps.h"

#include <stdio.h>

#include <string>

#include "report_text.h"
#include "dll_xml_edit.h"
#include "dll_xml_file.h"
#include "file_set.h"
#include "files.h"
#include "languages.h"
#include "pilot_access.h"
#include "setup_exit.h"
#include "xml_check.h"

namespace {

// The skeleton an install wrote is the one kept in the simulator folder (the
// uninstall may run without the package); an older install kept none.
bool ReadSkeletonDllXml(const SetupPlaces &places, std::string *bytes) {
    return ReadFileIn(places.simFolder, kKeptSkeleton, bytes) ||
           ReadFileIn(places.packageFolder, kPackageDllXml, bytes);
}

bool BackupHolds(const SetupPlaces &places, const std::string &bytes) {
    char backup[MAX_PATH];
    std::string held;
    DWORD error = 0;
    return BackupPathFor(places.dllXml, backup, sizeof(backup)) && ReadWholeFile(backup, &held, &error) == FILE_READ &&
           held == bytes;
}

// Pilots make dll.xml read-only to keep installers out of it. That is known
// before anything changes; finding it out when the new text is put in place
// would leave the files in (or out) without their entry.
int RefuseReadOnly(const SetupOptions &options, const SetupPlaces &places, const DllXmlPlan &plan,
                   std::string *report) {
    if (plan.action == KEEP_DLL_XML || !IsReadOnly(places.dllXml)) return SETUP_DONE;
    AppendText(report,
               "%s is read-only, so DrovanaSetup cannot %s it. Clear its read-only attribute and run "
               "DrovanaSetup.exe again. Nothing was changed.",
               places.dllXml, options.uninstall ? "take DrovanaX out of" : "enter DrovanaX in");
    return SETUP_WRITE_FAILED;
}

// What becomes of dll.xml, decided before anything is written.
int PlanDllXml(const SetupOptions &options, const SetupPlaces &places, DllXmlPlan *plan, std::string *report) {
    *plan = DllXmlPlan{KEEP_DLL_XML, DLLXML_UNCHANGED, false, std::string()};
    std::string current;
    DWORD error = 0;
    const FileRead read = ReadWholeFile(places.dllXml, &current, &error);
    if (read == FILE_UNREADABLE) {
        AppendText(report, "%s could not be read (error %lu). Nothing was changed.", places.dllXml, error);
        return SETUP_WRITE_FAILED;
    }
    if (read == FILE_ABSENT || current.empty()) {
        plan->fresh = true;
        if (options.uninstall) return SETUP_DONE;
        if (!ReadFileIn(places.packageFolder, kPackageDllXml, &plan->bytes)) {
            AppendText(report, "dll.xml is missing beside DrovanaSetup.exe. Nothing was changed.");
            return SETUP_PACKAGE_INCOMPLETE;
        }
        plan->action = WRITE_DLL_XML;
        plan->edit = DLLXML_ADDED;
        return RefuseReadOnly(options, places, *plan, report);
    }

    XmlProblem problem;
    const XmlCheckResult check = CheckXmlFile(places.dllXml, &problem);
    if (check == XML_NO_PARSER) {
        AppendText(report, "%s could not be checked: %s. Nothing was changed.", places.dllXml, problem.reason);
        return SETUP_DLL_XML_REFUSED;
    }
    if (check != XML_WELL_FORMED) {
        char why[320];
        DescribeXmlProblem(problem, why, sizeof(why));
        AppendText(report,
                   "%s is not well-formed: %s.\n\nDrovanaSetup left it unchanged and changed nothing else. "
                   "The simulator loads no add-on from it until it is mended.",
                   places.dllXml, why);
        return SETUP_DLL_XML_REFUSED;
    }
    char reason[160];
    plan->edit = options.uninstall ? RemoveDrovanaEntry(current, &plan->bytes, reason, sizeof(reason))
                                   : AddDrovanaEntry(current, &plan->bytes, reason, sizeof(reason));
    if (plan->edit == DLLXML_NOT_EDITABLE) {
        AppendText(report, "DrovanaSetup does not edit %s: %s. Nothing was changed.", places.dllXml, reason);
        return SETUP_DLL_XML_REFUSED;
    }
    if (plan->edit == DLLXML_UNCHANGED) return SETUP_DONE;
    plan->action = WRITE_DLL_XML;
    // A dll.xml that holds nothing but what the install wrote goes with it.
    // One the install found holding just that skeleton was the pilot's own:
    // the backup it made then says so.
    std::string package;
    std::string skeleton;
    if (plan->edit == DLLXML_REMOVED && ReadSkeletonDllXml(places, &package) &&
        RemoveDrovanaEntry(package, &skeleton, reason, sizeof(reason)) == DLLXML_REMOVED && skeleton == plan->bytes &&
        !BackupHolds(places, skeleton))
        plan->action = DELETE_DLL_XML;
    return RefuseReadOnly(options, places, *plan, report);
}

}  // namespace

void DescribeAdministratorRun(const SetupOptions &options, const SetupPlaces &places, int code, std::string *report) {
    if (code == SETUP_DONE)
        AppendText(report, "Files %s by the administrator's run.\n", options.uninstall ? "removed" : "copied");
    else if (code == SETUP_CANCELLED)
        AppendText(report, "%s needs an administrator, and none was given. Nothing was changed.", places.simFolder);
    else if (code == SETUP_IN_USE)
        AppendText(report, "A DrovanaX program is in use: close the simulator first. Nothing was changed.");
    else
        AppendText(report,
                   "The administrator's run could not write into %s (exit code %d). "
                   "Nothing was changed.",
                   places.simFolder, code);
}

int CopyFilesStep(const SetupOptions &options, const SetupPlaces &places, std::string *report) {
    FileSetReport files;
    char language[sizeof(options.language)] = "";
    if (!options.uninstall &&
        !ChooseCueLanguage(places.packageFolder, places.simFolder, options.language, language, sizeof(language))) {
        AppendText(report,
                   "%sDrovanaX\\Sounds\\languages.txt %s: run DrovanaSetup.exe from the unpacked "
                   "DrovanaX package. Nothing was changed.",
                   places.packageFolder, options.language[0] ? "lists no such language" : "is missing");
        return SETUP_PACKAGE_INCOMPLETE;
    }
    const FileSetResult result =
        options.uninstall
            ? RemoveFiles(places.packageFolder, places.simFolder, options.purge, options.afterProcess != 0, &files)
            : InstallFiles(places.packageFolder, places.simFolder, language, &files);
    switch (result) {
    case FILES_DONE:
        break;
    case FILES_IN_USE:
        AppendText(report, "%s is in use: close the simulator first. Nothing was changed.", files.failedPath);
        return SETUP_IN_USE;
    case FILES_PACKAGE_INCOMPLETE:
        AppendText(report,
                   "%s is missing: run DrovanaSetup.exe from the unpacked DrovanaX package. "
                   "Nothing was changed.",
                   files.failedPath);
        return SETUP_PACKAGE_INCOMPLETE;
    case FILES_WRITE_FAILED:
        if (IsReadOnly(files.failedPath))
            AppendText(report,
                       "%s is read-only. Clear its read-only attribute and run DrovanaSetup.exe "
                       "again. Nothing was changed.",
                       files.failedPath);
        else
            AppendText(report, "%s could not be written (error %lu). Nothing was changed.", files.failedPath,
                       files.error);
        return SETUP_WRITE_FAILED;
    }
    if (options.uninstall) {
        AppendText(report, "DrovanaX is removed from %s.\nFiles removed: %d program%s and %d voice cue%s.\n",
                   places.simFolder, files.programs, files.programs == 1 ? "" : "s", files.cues,
                   files.cues == 1 ? "" : "s");
        if (files.configRemoved) AppendText(report, "Drovana.cfg removed.\n");
        if (files.configKept) AppendText(report, "Drovana.cfg kept, with your settings and corrections.\n");
        if (files.soundsFolderKept && files.cuesUnknown)
            AppendText(report,
                       "DrovanaX\\Sounds kept: the package's DrovanaX\\Sounds is not beside "
                       "DrovanaSetup.exe, so DrovanaSetup cannot tell DrovanaX's voice cues from your own.\n");
        else if (files.soundsFolderKept)
            AppendText(report, "DrovanaX\\Sounds kept: it holds files that are not DrovanaX's.\n");
    } else {
        AppendText(report, "DrovanaX is installed in %s.\nFiles copied: ", places.simFolder);
        for (int i = 0; i < kProgramCount; ++i) AppendText(report, "%s%s", i ? ", " : "", kPrograms[i]);
        AppendText(report, " and %d voice cue%s (language %s) under DrovanaX\\Sounds.\n", files.cues,
                   files.cues == 1 ? "" : "s", language);
        AppendText(report, files.configCopied ? "Drovana.cfg: the sample settings copied.\n"
                                              : "Drovana.cfg: yours kept as it was.\n");
        char refused[MAX_PATH];
        const DWORD error = GrantPilotWrites(places.simFolder, options.pilotSid, refused, sizeof(refused));
        if (error != ERROR_SUCCESS)
            AppendText(report,
                       "Your account could not be given write access to %s (error %lu): if you cannot "
                       "write there, the map program's log and index and the corrections you measure are not "
                       "saved there.\n",
                       refused, error);
    }
    for (const std::string &own : files.pilotsOwn)
        AppendText(report, "%s kept: not the file DrovanaSetup put there, so taken for your own%s.\n", own.c_str(),
                   options.uninstall ? "" : "; its cue not installed");
    return SETUP_DONE;
}

int FinishDllXml(const SetupOptions &options, const SetupPlaces &places, const DllXmlPlan &plan, std::string *report) {
    DllXmlWrite outcome = {};
    bool ok = true;
    if (plan.action == WRITE_DLL_XML) ok = ReplaceDllXml(places.dllXml, plan.bytes, &outcome);
    if (plan.action == DELETE_DLL_XML) ok = DeleteDllXml(places.dllXml, &outcome);
    if (!ok) {
        char why[320];
        if (outcome.failedCheck) {
            DescribeXmlProblem(outcome.problem, why, sizeof(why));
        } else {
            snprintf(why, sizeof(why), "error %lu", outcome.error);
        }
        AppendText(report, "\nBut %s could not be %s (%s); it is as it was. Run DrovanaSetup.exe again.", places.dllXml,
                   plan.action == DELETE_DLL_XML ? "removed" : "written", why);
        return SETUP_WRITE_FAILED;
    }
    // Unchanged unless the edit says otherwise.
    const char *what = options.uninstall ? "dll.xml holds no DrovanaX entry" : "dll.xml entry already up to date";
    if (plan.edit == DLLXML_ADDED)
        what = plan.fresh ? "dll.xml written with the DrovanaX entry" : "dll.xml entry added";
    if (plan.edit == DLLXML_UPDATED) what = "dll.xml entry updated";
    if (plan.edit == DLLXML_REMOVED)
        what = plan.action == DELETE_DLL_XML ? "dll.xml removed (it held only the DrovanaX entry)"
                                             : "dll.xml entry removed";
    AppendText(report, "%s: %s\n", what, places.dllXml);
    char backup[MAX_PATH];
    if (outcome.backedUp && BackupPathFor(places.dllXml, backup, sizeof(backup)))
        AppendText(report, "Backup of the previous dll.xml: %s\n", backup);
    return SETUP_DONE;
}

int PrepareSetup(const SetupOptions &options, const SetupPlaces &places, DllXmlPlan *plan, std::string *report) {
    FileSetReport package;
    if (!options.uninstall && !PackageIsComplete(places.packageFolder, &package)) {
        AppendText(report,
                   "%s is missing: run DrovanaSetup.exe from the unpacked DrovanaX package. "
                   "Nothing was changed.",
                   package.failedPath);
        return SETUP_PACKAGE_INCOMPLETE;
    }
    return options.filesOnly ? SETUP_DONE : PlanDllXml(options, places, plan, report);
}
