// The steps of one edition's install or removal, in the order that keeps
// everything whole: dll.xml is read and checked first (a file that would be
// refused stops the run before any file changes), then the simulator
// folder's files are swapped all or nothing, then dll.xml is replaced.
#ifndef DROVANA_SETUP_EDITION_STEPS_H
#define DROVANA_SETUP_EDITION_STEPS_H

#include <windows.h>

#include <string>

#include "command_line.h"
#include "dll_xml_edit.h"

struct SetupPlaces {
    char packageFolder[MAX_PATH];  // with DrovanaX.dll, Kestrola.exe, Drovana.cfg, dll.xml, DrovanaX\Sounds
    char simFolder[MAX_PATH];
    char dllXml[MAX_PATH];  // unused with /filesonly
};

enum DllXmlAction { KEEP_DLL_XML, WRITE_DLL_XML, DELETE_DLL_XML };

struct DllXmlPlan {
    DllXmlAction action;
    DllXmlEdit edit;
    bool fresh;  // there was no dll.xml, or an empty one
    std::string bytes;
};

// The three steps of one edition's run, each a SetupExit code with what it
// did (or why it stopped) appended to report. RunEditions does each step for
// all the editions before the next, so one administrator's run takes every
// folder that needs one; that run does step 2 alone.
//   1. the package is complete (install) and what becomes of dll.xml is known
int PrepareSetup(const SetupOptions &options, const SetupPlaces &places, DllXmlPlan *plan, std::string *report);
//   2. the simulator folder's files, by this process
int CopyFilesStep(const SetupOptions &options, const SetupPlaces &places, std::string *report);
//   2'. ... or by the administrator's run, whose exit code this describes
void DescribeAdministratorRun(const SetupOptions &options, const SetupPlaces &places, int code, std::string *report);
//   3. dll.xml
int FinishDllXml(const SetupOptions &options, const SetupPlaces &places, const DllXmlPlan &plan, std::string *report);

#endif
