// Install, install again and uninstall over each kind of dll.xml a pilot may
// have, with real files, the real MSXML and a pilot's Drovana.cfg in place.
#include <string.h>

#include "command_line.h"
#include "dll_xml_edit.h"
#include "elevation.h"
#include "folders.h"
#include "setup_exit.h"
#include "setup_fixture.h"

namespace {

// What dll.xml is after the uninstall.
enum Left {
    LEFT_AS_BEFORE,      // byte for byte the file before the first install
    LEFT_NO_FILE,        // it held nothing but the DrovanaX entry
    LEFT_WITHOUT_BLOCK,  // the file before, less its DrovanaX block and that line
};

struct Corpus {
    const char *name;
    const char *file;  // under the source tree; "" for an empty file, nullptr for none
    bool hasBlock;     // a DrovanaX block before the first install
    const char *head;  // how the block starts after the install: the file's indentation and line ending
    Left left;
};

const Corpus kCorpus[] = {
    {"none", nullptr, false, "\n  <Launch.Addon>\n    <Name>", LEFT_NO_FILE},
    {"empty", "", false, "\n  <Launch.Addon>\n    <Name>", LEFT_NO_FILE},
    {"package", "package/dll.xml", true, "\n  <Launch.Addon>\n    <Name>", LEFT_NO_FILE},
    {"two_addons_crlf", "tests/setup/corpus/two_addons_crlf.xml", false,
     "\t</Launch.Addon>\r\n\t<Launch.Addon>\r\n\t\t<Name>DrovanaX</Name>\r\n\t\t<Disabled>", LEFT_AS_BEFORE},
    {"utf8_bom", "tests/setup/corpus/utf8_bom.xml", false,
     "\n    <Launch.Addon>\n        <Name>DrovanaX</Name>\n        <Disabled>", LEFT_AS_BEFORE},
    {"drovana_disabled", "tests/setup/corpus/drovana_disabled.xml", true,
     "\n  <Launch.Addon>\n    <Name>DrovanaX</Name>\n    <Disabled>False</Disabled>\n", LEFT_WITHOUT_BLOCK},
};

void PrintTo(const Corpus &corpus, std::ostream *out) { *out << corpus.name; }

const char kPilotConfig[] = "[PLANE_CORRECT]\r\nLiner=12.500000\r\n";

// The text less its last DrovanaX block and, when the block stands alone on
// its lines, those lines: the bytes the installer must leave as they were.
std::string OutsideBlock(const std::string &text) {
    const size_t name = text.rfind("<Name>DrovanaX</Name>");
    if (name == std::string::npos) return text;
    size_t start = text.rfind("<Launch.Addon>", name);
    size_t end = text.find("</Launch.Addon>", name) + strlen("</Launch.Addon>");
    const size_t lineStart = text.find_last_of("\r\n", start) + 1;  // 0 when none
    if (text.find_first_not_of(" \t", lineStart) == start) {
        start = lineStart;
        end = text.find_first_not_of(" \t", end);
        end = end == std::string::npos ? text.size() : end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return text.substr(0, start) + text.substr(end);
}

class DllXmlCorpus : public SetupFixture, public ::testing::WithParamInterface<Corpus> {};

TEST_P(DllXmlCorpus, InstallReinstallUninstall) {
    const Corpus &corpus = GetParam();
    const bool hadFile = corpus.file != nullptr;
    if (hadFile) {
        CreateDirectoryA(work.File("AppData\\Microsoft\\FSX").c_str(), nullptr);
        WriteBytes(dllXml, corpus.file[0] ? SourceFile(corpus.file) : "");
    }
    const std::string original = FileBytes(dllXml);
    ASSERT_EQ(std::string::npos, original.find("(DROVANA_SOURCE_DIR")) << original;
    // With no dll.xml, the simulator folder has never seen DrovanaX: no
    // Drovana.cfg either, so the sample goes in.
    if (hadFile) WriteBytes(Sim("Drovana.cfg"), kPilotConfig);

    ASSERT_EQ(SETUP_DONE, Run(false)) << report;
    EXPECT_EQ(std::string::npos, report.find("write access")) << report;
    const std::string installed = FileBytes(dllXml);
    EXPECT_EQ(std::vector<std::string>{"False|False|DrovanaX.dll"}, DrovanaEntries(dllXml))
        << "one enabled DrovanaX block after the install:\n"
        << installed;
    EXPECT_NE(std::string::npos, installed.find(corpus.head)) << "not in the file's own indentation and line ending:\n"
                                                              << installed;
    if (corpus.hasBlock) {
        EXPECT_EQ(OutsideBlock(original), OutsideBlock(installed)) << "bytes outside the block changed";
    } else if (original.empty() || original == "(absent)") {
        EXPECT_EQ(SourceFile("package/dll.xml"), installed) << "not the package's dll.xml";
    } else {
        EXPECT_EQ(original, OutsideBlock(installed)) << "bytes outside the inserted block changed";
    }
    if (hadFile && installed != original) {
        EXPECT_EQ(original, FileBytes(dllXml + ".DrovanaX.bak")) << "the backup is not the file before the install";
    }
    EXPECT_EQ("the add-on, new", FileBytes(Sim("DrovanaX.dll")));
    EXPECT_EQ("the player, new", FileBytes(Sim("Kestrola.exe")));
    EXPECT_EQ("the map, new", FileBytes(Sim("DrovanaMap.exe")));
    EXPECT_EQ("RIFF good luck", FileBytes(Sim("DrovanaX\\Sounds\\good_luck.wav")));
    EXPECT_EQ(hadFile ? kPilotConfig : "[Data]\r\nHead=90\r\n", FileBytes(Sim("Drovana.cfg")));

    ASSERT_EQ(SETUP_DONE, Run(false)) << report;
    EXPECT_EQ(installed, FileBytes(dllXml)) << "a second install changed dll.xml";
    EXPECT_NE(std::string::npos, report.find("already up to date")) << report;

    // What the map program wrote as the simulator ran goes with it, in the
    // pilot's own DrovanaX folder too (where the simulator's refused it).
    WriteBytes(Sim("DrovanaX\\DrovanaMap.log"), "read Scenery.CFG");
    WriteBytes(Sim("DrovanaX\\DrovanaMap-KSEA.txt"), "KSEA: 3 parking spots");
    WriteBytes(Sim("DrovanaX\\DrovanaMap.idx"), "DMIX");
    char own[MAX_PATH];
    ASSERT_TRUE(PilotDataFolder(own, sizeof(own)));
    CreateDirectoryA(own, nullptr);
    WriteBytes(std::string(own) + "DrovanaMap.log", "could not be written");
    WriteBytes(std::string(own) + "DrovanaMap-KSEA.txt", "KSEA: 3 parking spots");
    ASSERT_EQ(SETUP_DONE, Run(true)) << report;
    EXPECT_FALSE(FileExists(own)) << "the pilot's DrovanaX folder stays after the uninstall";
    const std::string removed = FileBytes(dllXml);
    if (corpus.left == LEFT_AS_BEFORE) {
        EXPECT_EQ(original, removed) << "the uninstall did not give the file back";
    } else if (corpus.left == LEFT_NO_FILE) {
        EXPECT_EQ("(absent)", removed);
    } else {
        EXPECT_EQ(OutsideBlock(original), removed) << "more or less than the block and its line went";
        EXPECT_TRUE(DrovanaEntries(dllXml).empty());
    }
    EXPECT_EQ(std::string("Drovana.cfg ") + (hadFile ? kPilotConfig : "[Data]\r\nHead=90\r\n") + "\n", SimListing())
        << "the uninstall leaves Drovana.cfg alone, and only it";
}

INSTANTIATE_TEST_SUITE_P(Files, DllXmlCorpus, ::testing::ValuesIn(kCorpus),
                         [](const ::testing::TestParamInfo<Corpus> &info) { return std::string(info.param.name); });

class SetupRuns : public SetupFixture {};

// The kept list is a file others may write: the uninstall removes what it
// names only under DrovanaX and the two programs.
TEST_F(SetupRuns, PurgeTakesDrovanaCfgAndLeavesPilotsOwnCues) {
    ASSERT_EQ(SETUP_DONE, Run(false)) << report;
    WriteBytes(Sim("DrovanaX\\Sounds\\my_cue.wav"), "RIFF mine");
    WriteBytes(Sim("fsx.exe"), "the simulator");
    const std::string list = Sim("DrovanaX\\InstalledFiles.txt");
    WriteBytes(list, FileBytes(list) + "fsx.exe\r\nDrovanaX\\..\\fsx.exe\r\n" + Sim("fsx.exe") + "\r\n");
    ASSERT_EQ(SETUP_DONE, Run(true, true)) << report;
    EXPECT_EQ("DrovanaX\\\nDrovanaX\\Sounds\\\nDrovanaX\\Sounds\\my_cue.wav RIFF mine\nfsx.exe the simulator\n",
              SimListing());
    EXPECT_NE(std::string::npos, report.find("DrovanaX\\Sounds kept")) << report;
}

// An older install kept no list, and only DrovanaSetup.exe is left of the
// package: the uninstall cannot tell DrovanaX's cues from the pilot's, and
// must not say they are the pilot's.
TEST_F(SetupRuns, UninstallWithoutThePackagesCuesSaysWhyTheyStay) {
    ASSERT_EQ(SETUP_DONE, Run(false)) << report;
    ASSERT_TRUE(DeleteFileA(Sim("DrovanaX\\InstalledFiles.txt").c_str()));
    for (const char *language : {"en", "de"}) {
        for (const char *cue : {"good_luck.wav", "set_parking_brake.wav"})
            DeleteFileA(Package(("DrovanaX\\Sounds\\" + std::string(language) + "\\" + cue).c_str()).c_str());
    }
    ASSERT_EQ(SETUP_DONE, Run(true)) << report;
    EXPECT_EQ(std::string::npos, report.find("files that are not DrovanaX's")) << report;
    EXPECT_NE(std::string::npos, report.find("cannot tell")) << report;
}

TEST_F(SetupRuns, MalformedDllXmlIsNeverChanged) {
    CreateDirectoryA(work.File("AppData\\Microsoft\\FSX").c_str(), nullptr);
    const std::string original = SourceFile("tests/setup/corpus/unclosed_tag.xml");
    WriteBytes(dllXml, original);
    for (bool uninstall : {false, false, true}) {
        EXPECT_EQ(SETUP_DLL_XML_REFUSED, Run(uninstall)) << report;
        EXPECT_NE(std::string::npos, report.find("is not well-formed: ")) << report;
        EXPECT_EQ(original, FileBytes(dllXml));
        EXPECT_EQ("", SimListing()) << "files were copied although dll.xml was refused";
    }
    EXPECT_EQ("(absent)", FileBytes(dllXml + ".DrovanaX.bak"));
}

// A pilot's own dll.xml that happens to be the package's less its block (a
// manual install whose entry was taken out by hand) is no file the install
// wrote: the uninstall gives it back.
TEST_F(SetupRuns, PilotsOwnSkeletonDllXmlStays) {
    std::string skeleton;
    char reason[160];
    ASSERT_EQ(DLLXML_REMOVED, RemoveDrovanaEntry(FileBytes(Package("dll.xml")), &skeleton, reason, sizeof(reason)));
    CreateDirectoryA(work.File("AppData\\Microsoft\\FSX").c_str(), nullptr);
    WriteBytes(dllXml, skeleton);
    ASSERT_EQ(SETUP_DONE, Run(false)) << report;
    ASSERT_EQ(SETUP_DONE, Run(true)) << report;
    EXPECT_EQ(skeleton, FileBytes(dllXml)) << report;
}

// A profile folder named like a URL escape is still just a folder.
TEST_F(SetupRuns, DllXmlPathIsNoUrl) {
    CreateDirectoryA(work.File("AppData\\Pilot%20One").c_str(), nullptr);
    dllXml = work.File("AppData\\Pilot%20One\\dll.xml");
    WriteBytes(dllXml, SourceFile("tests/setup/corpus/utf8_bom.xml"));
    ASSERT_EQ(SETUP_DONE, Run(false)) << report;
    EXPECT_NE(std::string::npos, FileBytes(dllXml).find("<Name>DrovanaX</Name>"));
}

// Pilots make dll.xml read-only to keep installers out of it: found out
// before any file changes, not once the files are in (or out).
TEST_F(SetupRuns, ReadOnlyDllXmlStopsTheRunBeforeAnythingChanges) {
    ASSERT_EQ(SETUP_DONE, Run(false)) << report;
    const std::string installed = FileBytes(dllXml);
    const std::string files = SimListing();
    SetFileAttributesA(dllXml.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(SETUP_DONE, Run(false)) << "an entry already up to date needs no write: " << report;
    EXPECT_EQ(SETUP_WRITE_FAILED, Run(true)) << report;
    EXPECT_NE(std::string::npos, report.find("is read-only")) << report;
    EXPECT_EQ(installed, FileBytes(dllXml));
    EXPECT_EQ(files, SimListing()) << "files were removed although the entry stays";
}

// A package unpacked from a read-only medium: copies keep that attribute.
TEST_F(SetupRuns, ReadOnlyFilesAreNeitherMadeNorHalfRemoved) {
    for (const char *name : {"DrovanaX.dll", "Drovana.cfg", "DrovanaX\\Sounds\\en\\good_luck.wav"})
        SetFileAttributesA(Package(name).c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(SETUP_DONE, Run(false)) << report;
    for (const char *name : {"DrovanaX.dll", "Drovana.cfg", "DrovanaX\\Sounds\\good_luck.wav"}) {
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(Sim(name).c_str())) << name;
        EXPECT_FALSE(GetFileAttributesA(Sim(name).c_str()) & FILE_ATTRIBUTE_READONLY) << name << " is read-only";
    }
    // A pilot's read-only Drovana.cfg is refused by /purge as Windows refuses it.
    SetFileAttributesA(Sim("Drovana.cfg").c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string files = SimListing();
    EXPECT_EQ(SETUP_WRITE_FAILED, Run(true, true)) << report;
    EXPECT_NE(std::string::npos, report.find("Drovana.cfg is read-only")) << report;
    EXPECT_EQ(files, SimListing());
}

// The simulator maps DrovanaX.dll while it runs; a second process maps the
// built DLL the same way here.
TEST_F(SetupRuns, DllHeldOpenChangesNothing) {
    ASSERT_TRUE(CopyFileA(BuiltFile("DrovanaX.dll").c_str(), Sim("DrovanaX.dll").c_str(), FALSE));
    CreateDirectoryA(work.File("AppData\\Microsoft\\FSX").c_str(), nullptr);
    const std::string original = SourceFile("tests/setup/corpus/drovana_disabled.xml");
    WriteBytes(dllXml, original);
    const std::string before = SimListing();
    DWORD holderId = 0;
    HANDLE holder = HoldAsProgram(Sim("DrovanaX.dll"), &holderId);
    ASSERT_NE(nullptr, holder) << "hold_module.exe did not map the DLL";

    EXPECT_EQ(SETUP_IN_USE, Run(false)) << report;
    EXPECT_NE(std::string::npos, report.find("close the simulator first")) << report;
    EXPECT_EQ(before, SimListing()) << "a held DLL left the folder changed";
    EXPECT_EQ(original, FileBytes(dllXml));
    EXPECT_EQ(SETUP_IN_USE, Run(true)) << report;
    EXPECT_EQ(before, SimListing());
    EXPECT_EQ(original, FileBytes(dllXml));

    EndProgram(holder);
    EXPECT_EQ(SETUP_DONE, Run(false)) << "once the simulator is closed: " << report;
    EXPECT_EQ("the add-on, new", FileBytes(Sim("DrovanaX.dll")));
}

// Apps & features under Program Files: the kept copy hands the removal to a
// temporary copy, whose files need the administrator's run. That run gets
// the very arguments the temporary copy forms, while the kept copy it must
// leave alone still runs; elevation itself cannot run here.
TEST_F(SetupRuns, AdministratorsRemovalSparesTheRunningKeptCopy) {
    ASSERT_EQ(SETUP_DONE, Run(false)) << report;
    const std::string kept = Sim("DrovanaX\\DrovanaSetup.exe"), temporaryCopy = work.File("DrovanaSetup-1.exe");
    ASSERT_TRUE(CopyFileA(BuiltFile("DrovanaSetup.exe").c_str(), kept.c_str(), FALSE) &&
                CopyFileA(BuiltFile("DrovanaSetup.exe").c_str(), temporaryCopy.c_str(), FALSE));
    DWORD keptProcess = 0, runId = 0, exitCode = 0;
    HANDLE holder = HoldAsProgram(kept, &keptProcess);
    ASSERT_NE(nullptr, holder) << "hold_module.exe did not map the kept copy";
    // The temporary copy's line from the kept copy, and what it hands on.
    SetupOptions options;
    char error[128], arguments[kFilesOnlyArgumentsSize];
    const std::string line = "/after=" + std::to_string(keptProcess) + " /uninstall /S /D=" + Sim("");
    ASSERT_TRUE(ParseCommandLine(line.c_str(), &options, error, sizeof(error))) << error;
    ASSERT_TRUE(FormFilesOnlyArguments(options, Sim("").c_str(), arguments, sizeof(arguments)));
    HANDLE run = StartProgram("\"" + temporaryCopy + "\" " + arguments, &runId);
    const bool ended = run != nullptr && WaitForSingleObject(run, 30000) == WAIT_OBJECT_0;
    if (ended) GetExitCodeProcess(run, &exitCode);
    if (run != nullptr) EndProgram(run);
    EndProgram(holder);
    ASSERT_TRUE(ended) << "the administrator's run did not end beside the kept copy: " << arguments;
    int code = -1;
    UnpackAdministratorCodes(exitCode, 1, &code);
    EXPECT_EQ(SETUP_DONE, code) << arguments;
    for (const char *gone : {"DrovanaX.dll", "DrovanaX\\InstalledFiles.txt", "DrovanaX\\Sounds"})
        EXPECT_FALSE(FileExists(Sim(gone))) << gone << " left by: " << arguments;
    EXPECT_TRUE(FileExists(kept)) << "the running kept copy is the temporary copy's to remove";
}

}  // namespace
