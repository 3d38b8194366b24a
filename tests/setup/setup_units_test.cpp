// The parts of DrovanaSetup that the corpus runs do not reach: the command
// line, where the folders are found, and dll.xml shapes beyond the corpus.
#include <stdlib.h>
#include <string.h>

#include <gtest/gtest.h>

#include <string>

#include "command_line.h"
#include "dll_xml_edit.h"
#include "folders.h"
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
    EXPECT_FALSE(ParseCommandLine("/D=", &options, error, sizeof(error)));
    std::string overlong = "/D=C:\\" + std::string(MAX_PATH, 'x');
    EXPECT_FALSE(ParseCommandLine(overlong.c_str(), &options, error, sizeof(error)));

    // What the administrator's run is handed must read back as the same job.
    SetupOptions job = {};
    job.uninstall = true;
    char arguments[MAX_PATH + 64];
    ASSERT_TRUE(FormFilesOnlyArguments(job, "C:\\Program Files\\FSX\\", arguments, sizeof(arguments)));
    ASSERT_TRUE(ParseCommandLine(arguments, &options, error, sizeof(error))) << arguments;
    EXPECT_TRUE(options.silent && options.filesOnly && options.uninstall && !options.purge);
    EXPECT_STREQ("C:\\Program Files\\FSX\\", options.simFolder);
}

TEST(SetupFolders, SimFolderGivenAndDllXmlInTheApplicationData) {
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

    char dllXml[MAX_PATH];
    ASSERT_TRUE(FindDllXmlPath(dllXml, sizeof(dllXml)));
    const char *appData = getenv("APPDATA");
    ASSERT_NE(nullptr, appData);
    EXPECT_EQ(std::string(appData) + "\\Microsoft\\FSX\\dll.xml", dllXml);
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
