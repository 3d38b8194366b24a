// A package, a simulator folder and a dll.xml in a scratch folder of the
// prefix, and DrovanaSetup's whole run over them, as a silent run does it.
#ifndef DROVANA_TESTS_SETUP_FIXTURE_H
#define DROVANA_TESTS_SETUP_FIXTURE_H

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edition_steps.h"
#include "temp_files.h"

// The whole file, or "(absent)" when there is none.
std::string FileBytes(const std::string &path);
void WriteBytes(const std::string &path, const std::string &bytes);
// A file of the source tree (DROVANA_SOURCE_DIR), read from its Windows name.
std::string SourceFile(const char *relative);

// A file the build made beside the tests: DrovanaX.dll, DrovanaSetup.exe.
std::string BuiltFile(const char *name);
// The process of a whole command line, null when it does not start; ended
// (if it still runs) and let go by EndProgram.
HANDLE StartProgram(std::string command, DWORD *processId);
void EndProgram(HANDLE process);
// hold_module.exe mapping path as a program image, as a running program holds
// its own file, once the file is held (an exclusive open fails); null when
// it never was.
HANDLE HoldAsProgram(const std::string &path, DWORD *processId);

// Disabled|ManualLoad|Path of each Launch.Addon named DrovanaX, as MSXML
// reads the file; one "(not loaded)" entry when it does not load.
std::vector<std::string> DrovanaEntries(const std::string &path);

class SetupFixture : public ::testing::Test {
protected:
    SetupFixture();

    // The run of `DrovanaSetup.exe /S [/uninstall] [/purge] /LANG=language
    // /D=sim` (RunEditions), with the boxed edition's dll.xml here. The package has the sets en and de of two cues
    // each.
    int Run(bool uninstall, bool purge = false, const char *language = "en");

    std::string Package(const char *name) const { return work.File("package\\" + std::string(name)); }
    std::string Sim(const char *name) const { return work.File("sim\\" + std::string(name)); }
    // Every file left in the simulator folder, with its folder: what a
    // failed step must not have changed.
    std::string SimListing() const;

    TempFolder work;
    std::string dllXml;  // work\AppData\Microsoft\FSX\dll.xml
    std::string report;
};

#endif
