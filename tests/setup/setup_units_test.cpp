// The parts of DrovanaSetup that the corpus runs do not reach: the command
// line, where the folders are found, and dll.xml shapes beyond the corpus.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "dll_xml_edit.h"
#include "editions.h"
#include "elevation.h"
#include "folders.h"
#include "setup_exit.h"
#include "temp_files.h"

namespace {

TEST(SetupCommandLine, SwitchesAndAFolderWithBlanks) {
    SetupOptions options;
    char error[128];
    ASSERT_TRUE(ParseCommandLine("/S /uninstall /purge /D=C:\\Program Files\\FSX\\ ", &options, error, sizeof(error)))
        << error;
    EXPECT_TRUE(options.silent && options.uninstall && options.purge && !options.filesOnly);
    EXPECT_STREQ("C:\\Program Files\\FSX\\", options.simFolder);

    ASSERT_TRUE(ParseCommandLine("\"/D=D:\\My Sims\\FSX\"", &options, error, sizeof(error))) << error;
    EXPECT_STREQ("D:\\My Sims\\FSX", options.simFolder);
    EXPECT_FALSE(options.silent);

    EXPECT_FALSE(ParseCommandLine("/quiet /S", &options, error, sizeof(error)));
    EXPECT_STREQ("Unknown switch \"/quiet\".", error);
    EXPECT_TRUE(options.silent) << "a silent run with a wrong switch must still show no box";
    EXPECT_FALSE(ParseCommandLine("/purge", &options, error, sizeof(error))) << "/purge without /uninstall";
    ASSERT_TRUE(ParseCommandLine("/S /SIM=p3dv2 /D=C:\\P3D", &options, error, sizeof(error))) << error;
    EXPECT_STREQ("p3dv2", options.simulator);
    EXPECT_FALSE(ParseCommandLine("/SIM= /D=C:\\P3D", &options, error, sizeof(error)));
    EXPECT_FALSE(ParseCommandLine("/D=", &options, error, sizeof(error)));
    std::string overlong = "/D=C:\\" + std::string(MAX_PATH, 'x');
    EXPECT_FALSE(ParseCommandLine(overlong.c_str(), &options, error, sizeof(error)));

    // What the administrator's run is handed must read back as the same job.
    SetupOptions job = {};
    job.uninstall = true;
    job.afterProcess = 4242;
    snprintf(job.pilotSid, sizeof(job.pilotSid), "S-1-5-21-1-2-3-1001");
    char arguments[kFilesOnlyArgumentsSize];
    ASSERT_TRUE(FormFilesOnlyArguments(job, "C:\\Program Files\\FSX\\", arguments, sizeof(arguments)));
    ASSERT_TRUE(ParseCommandLine(arguments, &options, error, sizeof(error))) << arguments;
    EXPECT_TRUE(options.silent && options.filesOnly && options.uninstall && !options.purge);
    EXPECT_STREQ("C:\\Program Files\\FSX\\", options.simFolder);
    EXPECT_EQ(4242u, options.afterProcess) << arguments;
    EXPECT_STREQ("S-1-5-21-1-2-3-1001", options.pilotSid) << arguments;
    EXPECT_FALSE(ParseCommandLine("/pilot=S-1-5;rm /S /filesonly /D=C:\\FSX", &options, error, sizeof(error)));

    // One administrator's run for the folders of two editions.
    ASSERT_TRUE(FormFilesOnlyArguments(job, "C:\\FSX\\|D:\\Steam\\FSX\\", arguments, sizeof(arguments)));
    ASSERT_TRUE(ParseCommandLine(arguments, &options, error, sizeof(error))) << arguments;
    char folder[MAX_PATH];
    ASSERT_TRUE(FolderOfList(options.simFolder, 1, folder, sizeof(folder)));
    EXPECT_STREQ("D:\\Steam\\FSX\\", folder);
    EXPECT_FALSE(FolderOfList(options.simFolder, 2, folder, sizeof(folder)));
    EXPECT_FALSE(ParseCommandLine("/S /D=C:\\FSX|D:\\FSX", &options, error, sizeof(error)))
        << "a pilot's /D= names one folder";
    ASSERT_TRUE(ParseCommandLine("/after=4242 /uninstall /D=C:\\FSX", &options, error, sizeof(error))) << error;
    EXPECT_EQ(4242u, options.afterProcess);
    EXPECT_FALSE(ParseCommandLine("/after=12x", &options, error, sizeof(error)));
}

// The administrator's run is handed at most eight folders (kMaxFolders), each
// a path of at most MAX_PATH - 2 characters (258): a list past either, or
// with an empty folder in it, is a wrong command line, not a shorter list.
TEST(SetupCommandLine, AdministratorsFolderListLimits) {
    const std::string longest(MAX_PATH - 2, 'x');
    const struct {
        const char *what;
        std::string list;
        bool accepted;
    } cases[] = {
        {"eight folders", "C:\\A\\|C:\\B\\|C:\\C\\|C:\\D\\|C:\\E\\|C:\\F\\|C:\\G\\|C:\\H\\", true},
        {"nine folders", "C:\\A\\|C:\\B\\|C:\\C\\|C:\\D\\|C:\\E\\|C:\\F\\|C:\\G\\|C:\\H\\|C:\\I\\",
         false},
        {"an empty folder between two", "C:\\A\\||C:\\B\\", false},
        {"a bar at the end", "C:\\A\\|", false},
        {"a folder of 258 characters", "C:\\A\\|" + longest, true},
        {"a folder of 259 characters", "C:\\A\\|" + longest + "x", false},
    };
    for (const auto &c : cases) {
        SetupOptions options;
        char error[128];
        const std::string line = "/S /filesonly /D=" + c.list;
        EXPECT_EQ(c.accepted, ParseCommandLine(line.c_str(), &options, error, sizeof(error))) << c.what << ": " << error;
        if (c.accepted) {
            EXPECT_STREQ(c.list.c_str(), options.simFolder) << c.what;
        }
    }
}

TEST(SetupFolders, GivenFolderMadeFullWithATrailingBackslash) {
    TempFolder sim;
    char folder[MAX_PATH];
    std::string bare = sim.Path().substr(0, sim.Path().size() - 1);
    ASSERT_TRUE(FindSimFolder(bare.c_str(), folder, sizeof(folder)));
    EXPECT_EQ(sim.Path(), folder) << "the folder keeps a trailing backslash";
    EXPECT_FALSE(FindSimFolder(sim.File("missing").c_str(), folder, sizeof(folder)));
    EXPECT_FALSE(FindSimFolder(sim.File("").c_str(), folder, 8)) << "a folder that does not fit";
    // The administrator's run is handed the folder and has a current folder of its own.
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof(current), current);
    SetCurrentDirectoryA(sim.Path().c_str());
    const bool found = FindSimFolder(".", folder, sizeof(folder));
    SetCurrentDirectoryA(current);
    ASSERT_TRUE(found);
    EXPECT_EQ(sim.Path(), folder) << "a relative folder is not made absolute";
}

// The administrator's run ends with each folder's code; an end it did not
// choose (a crash, a kill, a code from elsewhere) must fail every folder it
// was given, never decode as a success for some.
TEST(SetupAdministratorRun, OnlyAFinishedRunsCodeIsDecoded) {
    const int given[] = {SETUP_DONE, SETUP_IN_USE, SETUP_NO_SIM_FOLDER};
    const DWORD finished = PackAdministratorCodes(given, 3);
    const int failed[] = {SETUP_WRITE_FAILED, SETUP_WRITE_FAILED, SETUP_WRITE_FAILED};
    const struct {
        const char *what;
        DWORD exitCode;
        const int *codes;
    } cases[] = {
        {"a finished run", finished, given},
        {"an access violation", 0xC0000005, failed},
        {"TerminateProcess with 0", 0, failed},
        {"TerminateProcess with 1", 1, failed},
        {"a debugger's kill", 0x40010004, failed},
        {"the mark under another top bit", finished | 0x40000000, failed},
    };
    for (const auto &c : cases) {
        int codes[3] = {-1, -1, -1};
        UnpackAdministratorCodes(c.exitCode, 3, codes);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(c.codes[i], codes[i]) << c.what << ", folder " << i;
    }
    // Five simulators under Program Files go to one run: every folder's code comes back.
    const int eight[] = {SETUP_BAD_COMMAND_LINE, SETUP_DONE, SETUP_IN_USE, SETUP_CANCELLED, SETUP_PACKAGE_INCOMPLETE,
                         SETUP_DLL_XML_REFUSED, SETUP_NO_SIM_FOLDER, SETUP_WRITE_FAILED};
    int back[8] = {};
    UnpackAdministratorCodes(PackAdministratorCodes(eight, 8), 8, back);
    EXPECT_EQ(std::vector<int>(eight, eight + 8), std::vector<int>(back, back + 8));
}

// A folder grows in place (out is folder) and a name gets its folder in
// place (out is name): both must read their parts before writing any.
TEST(SetupFolders, JoinPathIntoItsOwnSource) {
    struct Case {
        const char *folder;
        const char *name;
        bool outIsName;
        size_t size;
        const char *joined;  // nullptr: does not fit, out left empty
    } cases[] = {
        {"C:\\FSX\\", "SDK\\", false, MAX_PATH, "C:\\FSX\\SDK\\"},
        {"C:\\FSX\\", "DrovanaX.dll", true, MAX_PATH, "C:\\FSX\\DrovanaX.dll"},
        {"", "DrovanaX.dll", true, MAX_PATH, "DrovanaX.dll"},
        {"C:\\FSX\\", "", false, MAX_PATH, "C:\\FSX\\"},
        {"C:\\FSX\\", "SDK", false, 11, "C:\\FSX\\SDK"},
        {"C:\\FSX\\", "SDK\\", false, 11, nullptr},
        {"C:\\FSX\\", "Kestrola.exe", true, 16, nullptr},
    };
    for (const Case &c : cases) {
        char buffer[MAX_PATH];
        snprintf(buffer, sizeof(buffer), "%s", c.outIsName ? c.name : c.folder);
        const bool joined = c.outIsName ? JoinPath(buffer, c.size, c.folder, buffer)
                                        : JoinPath(buffer, c.size, buffer, c.name);
        EXPECT_EQ(c.joined != nullptr, joined) << c.folder << " + " << c.name;
        EXPECT_STREQ(c.joined ? c.joined : "", buffer) << c.folder << " + " << c.name;
    }
}

// The registry of each arrangement a pilot may have, laid out in keys of this
// process only, so the prefix's own stays as it is: HKLM's two views and
// HKCU each a scratch key of its own (FindEditionsIn).
enum Place { VIEW32, VIEW64, USER, ENTRY };  // ENTRY: the folder's Apps & features entry (HKCU)

struct RegistryValue {
    Place place;
    const char *subKey;
    const char *name;
    const char *folder;  // "A", "S", "1", "2", "3", "a" (A in lower case), "gone"; a trailing '\' is kept
    bool terminated;
};

const char kBoxedKey[] = "Software\\Microsoft\\Microsoft Games\\Flight Simulator\\10.0";
const char kSteamMachineKey[] = "SOFTWARE\\Dovetail Games\\FSX\\10.0";
const char kSteamUserKey[] = "Software\\Microsoft\\Microsoft Games\\Flight Simulator - Steam Edition\\10.0";
const char kP3d1MachineKey[] = "SOFTWARE\\LockheedMartin\\Prepar3D";
const char kP3d1UserKey[] = "Software\\LockheedMartin\\Prepar3D";
const char kP3d2MachineKey[] = "SOFTWARE\\Lockheed Martin\\Prepar3D v2";
const char kP3d3UserKey[] = "Software\\Lockheed Martin\\Prepar3D v3";

struct Arrangement {
    const char *name;
    std::vector<RegistryValue> values;
    std::vector<std::string> found;  // edition|folder|dll.xml folder under %APPDATA%
};

const Arrangement kArrangements[] = {
    {"boxed only, values without terminator or backslash",
     {{VIEW32, kBoxedKey, "SetupPath", "A", false}, {USER, kBoxedKey, "AppPath", "a\\", true}},
     {"boxed edition|A|Microsoft\\FSX"}},
    {"Steam only, without the boxed keys",
     {{VIEW32, kSteamMachineKey, "Install_Path", "S\\", true}, {USER, kSteamUserKey, "AppPath", "S", true}},
     {"Steam Edition|S|Microsoft\\FSX"}},
    {"Steam only, with the boxed keys",
     {{VIEW32, kBoxedKey, "SetupPath", "S\\", true}, {USER, kBoxedKey, "AppPath", "S", true},
      {VIEW32, kSteamMachineKey, "Install_Path", "S", false}},
     {"Steam Edition|S|Microsoft\\FSX"}},
    {"both side by side",
     {{VIEW32, kBoxedKey, "SetupPath", "A\\", true}, {USER, kSteamUserKey, "AppPath", "S\\", true},
      {VIEW32, kSteamMachineKey, "Install_Path", "S", true}},
     {"boxed edition|A|Microsoft\\FSX", "Steam Edition|S|Microsoft\\FSX-SE"}},
    {"a boxed edition removed by hand beside the Steam Edition",
     {{VIEW32, kBoxedKey, "SetupPath", "gone\\", true}, {VIEW32, kSteamMachineKey, "Install_Path", "S", true}},
     {"Steam Edition|S|Microsoft\\FSX"}},
    {"Prepar3D v1 alone, the company spelt without its blank",
     {{VIEW32, kP3d1MachineKey, "SetupPath", "1\\", true}, {USER, kP3d1UserKey, "AppPath", "1", false}},
     {"Prepar3D v1|1|Lockheed Martin\\Prepar3D"}},
    {"Prepar3D v2 in HKLM's 64-bit view alone", {{VIEW64, kP3d2MachineKey, "SetupPath", "2\\", true}},
     {"Prepar3D v2|2|Lockheed Martin\\Prepar3D v2"}},
    {"all five side by side, Prepar3D v3 by its AppPath",
     {{VIEW32, kBoxedKey, "SetupPath", "A", true}, {VIEW32, kSteamMachineKey, "Install_Path", "S", true},
      {VIEW32, kP3d1MachineKey, "SetupPath", "1", true}, {VIEW32, kP3d2MachineKey, "SetupPath", "2", true},
      {USER, kP3d3UserKey, "AppPath", "3\\", true}},
     {"boxed edition|A|Microsoft\\FSX", "Steam Edition|S|Microsoft\\FSX-SE", "Prepar3D v1|1|Lockheed Martin\\Prepar3D",
      "Prepar3D v2|2|Lockheed Martin\\Prepar3D v2", "Prepar3D v3|3|Lockheed Martin\\Prepar3D v3"}},
    {"a Prepar3D folder given FSX's keys, and a folder an install was told is Prepar3D v3",
     {{VIEW32, kBoxedKey, "SetupPath", "2", true}, {VIEW32, kP3d2MachineKey, "SetupPath", "2\\", true},
      {USER, kBoxedKey, "AppPath", "A", true}, {ENTRY, nullptr, "P3Dv3", "A", true}},
     {"Prepar3D v2|2|Lockheed Martin\\Prepar3D v2", "Prepar3D v3|A|Lockheed Martin\\Prepar3D v3"}},
};

TEST(SetupEditions, EachRegistryArrangement) {
    TempFolder work;
    for (const char *name : {"A", "S", "1", "2", "3"}) CreateDirectoryA(work.File(name).c_str(), nullptr);
    char scratch[64];
    snprintf(scratch, sizeof(scratch), "Software\\DrovanaXTest-%lu", GetCurrentProcessId());
    char appData[MAX_PATH];
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData));
    for (const Arrangement &arrangement : kArrangements) {
        HKEY roots[3] = {};
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (scratch + std::string("\\") + "mwu"[i]).c_str(),
                                                     0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &roots[i], nullptr));
        for (const RegistryValue &value : arrangement.values) {
            std::string data = work.File(value.folder);
            if (value.folder[0] == 'a') {
                data = work.File(std::string("A") + (value.folder + 1));
                for (char &c : data) c = static_cast<char>(tolower(c));
            }
            char entry[160];
            const char *subKey = value.subKey;
            if (value.place == ENTRY) {
                ASSERT_TRUE(EntryKeyOf((data + "\\").c_str(), entry, sizeof(entry)));
                subKey = entry;
                data = value.name;
            }
            HKEY key = nullptr;
            RegCreateKeyExA(roots[value.place == ENTRY ? USER : value.place], subKey, 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &key, nullptr);
            RegSetValueExA(key, value.place == ENTRY ? kEntrySimulatorValue : value.name, 0, REG_SZ,
                           reinterpret_cast<const BYTE *>(data.c_str()),
                           static_cast<DWORD>(data.size() + (value.terminated ? 1 : 0)));
            RegCloseKey(key);
        }
        const EditionRegistry registry = {{{roots[0], 0}, {roots[1], 0}}, {roots[2], 0}};
        FoundEdition found[kMaxEditions];
        const int count = FindEditionsIn(registry, found, kMaxEditions);
        for (HKEY root : roots) RegCloseKey(root);
        SHDeleteKeyA(HKEY_CURRENT_USER, scratch);

        std::vector<std::string> seen;
        for (int i = 0; i < count; ++i) {
            std::string shown = found[i].folder;
            for (const char *name : {"A", "S", "1", "2", "3"})
                if (shown == work.File(name) + "\\") shown = name;
            const std::string prefix = std::string(appData) + "\\";
            const std::string dllXml = found[i].dllXml;
            const bool inAppData = dllXml.compare(0, prefix.size(), prefix) == 0 &&
                                   dllXml.size() > prefix.size() + 8 && dllXml.substr(dllXml.size() - 8) == "\\dll.xml";
            seen.push_back(std::string(found[i].edition->name) + "|" + shown + "|" +
                           (inAppData ? dllXml.substr(prefix.size(), dllXml.size() - prefix.size() - 8) : dllXml));
        }
        EXPECT_EQ(arrangement.found, seen) << arrangement.name;
    }
}

std::string Added(const std::string &text, DllXmlEdit expected = DLLXML_ADDED) {
    std::string edited;
    char reason[160];
    EXPECT_EQ(expected, AddDrovanaEntry(text, &edited, reason, sizeof(reason))) << reason;
    return edited;
}

std::string Removed(const std::string &text) {
    std::string edited;
    char reason[160];
    EXPECT_EQ(DLLXML_REMOVED, RemoveDrovanaEntry(text, &edited, reason, sizeof(reason))) << reason;
    return edited;
}

const char kBlock[] =
    "<Launch.Addon><Name>DrovanaX</Name><Disabled>False</Disabled><ManualLoad>False</ManualLoad>"
    "<Path>DrovanaX.dll</Path></Launch.Addon>";

TEST(SetupDllXmlText, OneLineDocumentGetsTheBlockOnThatLine) {
    const std::string text = "<?xml version=\"1.0\"?><SimBase.Document><Launch.Addon><Name>A</Name>"
                             "</Launch.Addon></SimBase.Document>";
    const std::string added = Added(text);
    EXPECT_EQ(std::string("<?xml version=\"1.0\"?><SimBase.Document><Launch.Addon><Name>A</Name></Launch.Addon>") +
                  kBlock + "</SimBase.Document>",
              added);
    EXPECT_EQ(text, Removed(added));
}

TEST(SetupDllXmlText, TwoDrovanaBlocksBecomeOne) {
    const std::string text =
        "<SimBase.Document>\n"
        "  <Launch.Addon>\n    <Name> drovanax </Name>\n    <Path>a.dll</Path>\n  </Launch.Addon>\n"
        "  <Launch.Addon>\n    <Name>DrovanaX</Name>\n  </Launch.Addon>\n"
        "</SimBase.Document>\n";
    EXPECT_EQ("<SimBase.Document>\n"
              "  <Launch.Addon>\n    <Name>DrovanaX</Name>\n    <Path>DrovanaX.dll</Path>\n"
              "    <Disabled>False</Disabled>\n    <ManualLoad>False</ManualLoad>\n  </Launch.Addon>\n"
              "</SimBase.Document>\n",
              Added(text, DLLXML_UPDATED));
    EXPECT_EQ("<SimBase.Document>\n</SimBase.Document>\n", Removed(text));
}

TEST(SetupDllXmlText, FormsItDoesNotEditAreRefused) {
    std::string edited;
    char reason[160];
    const std::string utf16("\xFF\xFE<\0S\0/\0>\0", 10);
    EXPECT_EQ(DLLXML_NOT_EDITABLE, AddDrovanaEntry(utf16, &edited, reason, sizeof(reason)));
    EXPECT_STREQ("it is UTF-16 text, which DrovanaSetup does not edit", reason);
    EXPECT_EQ(DLLXML_NOT_EDITABLE, AddDrovanaEntry("<Other><a/></Other>", &edited, reason, sizeof(reason)));
    EXPECT_STREQ("its root element is <Other>, not <SimBase.Document>", reason);
    EXPECT_EQ(DLLXML_NOT_EDITABLE, AddDrovanaEntry("<SimBase.Document/>", &edited, reason, sizeof(reason)));
    EXPECT_EQ("<SimBase.Document/>", edited) << "a refused text comes back as it was";
}

}  // namespace
