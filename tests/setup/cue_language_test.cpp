// The voice cues' language: the package's list, codes as /LANG= and Windows
// give them, and the set a run installs into the simulator folder.
#include <gtest/gtest.h>

#include <ctype.h>

#include <string>

#include "command_line.h"
#include "languages.h"
#include "setup_exit.h"
#include "setup_fixture.h"

namespace {

class CueLanguages : public SetupFixture {};

TEST_F(CueLanguages, AnotherLanguageSwapsTheSetAndLeavesThePilotsFiles) {
    ASSERT_EQ(SETUP_DONE, Run(false, false, "en")) << report;
    EXPECT_EQ("RIFF good luck", FileBytes(Sim("DrovanaX\\Sounds\\good_luck.wav")));
    WriteBytes(Sim("DrovanaX\\Sounds\\my_cue.wav"), "RIFF mine");
    WriteBytes(Sim("Drovana.cfg"), "[Data]\r\nHead=45\r\n[Sound5]\r\n1=DrovanaX\\Sounds\\my_cue.wav\r\n");

    ASSERT_EQ(SETUP_DONE, Run(false, false, "DE")) << report;
    EXPECT_NE(std::string::npos, report.find("(language de)")) << report;
    const std::string pilotsConfig = "[Data]\r\nHead=45\r\n[Sound5]\r\n1=DrovanaX\\Sounds\\my_cue.wav\r\n";
    EXPECT_EQ(pilotsConfig, FileBytes(Sim("Drovana.cfg")));
    EXPECT_EQ("RIFF mine", FileBytes(Sim("DrovanaX\\Sounds\\my_cue.wav")));
    EXPECT_EQ("RIFF guten Flug", FileBytes(Sim("DrovanaX\\Sounds\\good_luck.wav")));
    EXPECT_EQ("RIFF Parkbremse", FileBytes(Sim("DrovanaX\\Sounds\\set_parking_brake.wav")));
    EXPECT_EQ("de\r\n", FileBytes(Sim("DrovanaX\\language.txt")));
    // The uninstall removes what the list names: the cues and the language, never the pilot's.
    const std::string list = FileBytes(Sim("DrovanaX\\InstalledFiles.txt"));
    // Each with the size and hash of what was put there.
    for (const char *listed : {"DrovanaX\\Sounds\\good_luck.wav\t15\t", "DrovanaX\\Sounds\\set_parking_brake.wav\t15\t",
                               "DrovanaX\\language.txt\t4\t"})
        EXPECT_NE(std::string::npos, list.find(listed)) << listed << " is not in " << list;
    EXPECT_EQ(std::string::npos, list.find("my_cue")) << list;

    ASSERT_EQ(SETUP_DONE, Run(true)) << report;
    EXPECT_EQ(
        "Drovana.cfg [Data]\r\nHead=45\r\n[Sound5]\r\n1=DrovanaX\\Sounds\\my_cue.wav\r\n\n"
        "DrovanaX\\\nDrovanaX\\Sounds\\\nDrovanaX\\Sounds\\my_cue.wav RIFF mine\n",
        SimListing());
}

// A cue the pilot replaced in place (a recording in their own voice) is
// theirs: an update, another language and the uninstall leave it, name it,
// and never list it. A list of an earlier version has no hashes: then only
// bytes equal to a set of the package are DrovanaX's.
struct OwnCueCase {
    const char *what;
    bool earlierList;  // the list is rewritten without sizes and hashes
    bool uninstall;
    const char *language;  // of the second run
    const char *brake;     // set_parking_brake.wav after it
};

class PilotsOwnCue : public SetupFixture, public ::testing::WithParamInterface<OwnCueCase> {};

TEST_P(PilotsOwnCue, StaysNamedAndUnlisted) {
    const OwnCueCase &c = GetParam();
    const std::string own = Sim("DrovanaX\\Sounds\\good_luck.wav");
    ASSERT_EQ(SETUP_DONE, Run(false, false, "en")) << report;
    WriteBytes(own, "RIFF my own voice");
    if (c.earlierList) {
        std::string list = FileBytes(Sim("DrovanaX\\InstalledFiles.txt"));
        std::string names;
        for (size_t start = 0, end; start < list.size(); start = end + 2) {
            end = list.find("\r\n", start);
            names += list.substr(start, list.find('\t', start) - start) + "\r\n";
        }
        WriteBytes(Sim("DrovanaX\\InstalledFiles.txt"), names);
    }
    ASSERT_EQ(SETUP_DONE, Run(c.uninstall, false, c.language)) << report;
    EXPECT_EQ("RIFF my own voice", FileBytes(own));
    EXPECT_EQ(c.brake, FileBytes(Sim("DrovanaX\\Sounds\\set_parking_brake.wav")));
    EXPECT_NE(std::string::npos, report.find("DrovanaX\\Sounds\\good_luck.wav kept")) << report;
    EXPECT_EQ(std::string::npos, FileBytes(Sim("DrovanaX\\InstalledFiles.txt")).find("good_luck")) << report;
    if (c.uninstall) return;
    ASSERT_EQ(SETUP_DONE, Run(true)) << report;
    EXPECT_EQ(
        "Drovana.cfg [Data]\r\nHead=90\r\n\nDrovanaX\\\nDrovanaX\\Sounds\\\n"
        "DrovanaX\\Sounds\\good_luck.wav RIFF my own voice\n",
        SimListing());
}

const OwnCueCase kOwnCueCases[] = {
    {"update", false, false, "en", "RIFF brake"},
    {"another language", false, false, "de", "RIFF Parkbremse"},
    {"uninstall", false, true, "en", "(absent)"},
    {"another language over an earlier list", true, false, "de", "RIFF Parkbremse"},
    {"uninstall by an earlier list", true, true, "en", "(absent)"},
};

INSTANTIATE_TEST_SUITE_P(Runs, PilotsOwnCue, ::testing::ValuesIn(kOwnCueCases),
                         [](const ::testing::TestParamInfo<OwnCueCase> &info) {
                             std::string name = info.param.what;
                             for (char &ch : name) ch = isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

TEST_F(CueLanguages, APackageLackingASetOrItsListIsIncompleteAndChangesNothing) {
    struct Case {
        const char *removed;
        const char *named;
    } cases[] = {
        {"DrovanaX\\Sounds\\de\\set_parking_brake.wav", "DrovanaX\\Sounds\\de\\set_parking_brake.wav"},
        {"DrovanaX\\Sounds\\languages.txt", "DrovanaX\\Sounds\\languages.txt"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.removed);
        const std::string bytes = FileBytes(Package(c.removed));
        DeleteFileA(Package(c.removed).c_str());
        EXPECT_EQ(SETUP_PACKAGE_INCOMPLETE, Run(false));
        EXPECT_NE(std::string::npos, report.find(c.named)) << report;
        EXPECT_EQ("", SimListing());
        EXPECT_EQ("(absent)", FileBytes(dllXml));
        WriteBytes(Package(c.removed), bytes);
    }
}

TEST_F(CueLanguages, CodesAsSwitchesAndWindowsGiveThem) {
    WriteBytes(Package("DrovanaX\\Sounds\\languages.txt"),
               "\xEF\xBB\xBF"
               "en\tEnglish\r\nnot a line\r\nde\tDeutsch\r\npt-BR\tPortugu\xC3\xAAs (Brasil)\r\n"
               "DE\tnoch einmal\r\nzh\t\xE4\xB8\xAD\xE6\x96\x87\n");
    CueLanguageList list;
    ASSERT_TRUE(ReadCueLanguages(work.File("package\\").c_str(), &list));
    ASSERT_EQ(4, list.count);
    EXPECT_STREQ(L"Portugu\u00eas (Brasil)", list.languages[2].name);
    EXPECT_STREQ(L"\u4e2d\u6587", list.languages[3].name);
    const struct {
        const char *given;
        int found;
    } codes[] = {{"de", 1},    {"DE", 1},    {"pt", 2},  {"PT-br", 2}, {"pt-PT", 2}, {"zh", 3},
                 {"zh-TW", 3}, {"en-GB", 0}, {"xx", -1}, {"", -1},     {"-BR", -1},  {"english", -1}};
    for (const auto &code : codes) EXPECT_EQ(code.found, FindCueLanguage(list, code.given)) << code.given;

    // The installed language comes first.
    CreateDirectoryA(Sim("DrovanaX").c_str(), nullptr);
    WriteBytes(Sim("DrovanaX\\language.txt"), "zh\r\n");
    EXPECT_EQ(3, PreselectCueLanguage(list, work.File("sim\\").c_str()));
}

TEST(CueLanguageSwitch, LangGoesBeforeTheFolderAndToTheAdministratorsRun) {
    SetupOptions options;
    char error[128];
    ASSERT_TRUE(ParseCommandLine("/S /lang=pt-BR /D=C:\\FSX X\\", &options, error, sizeof(error))) << error;
    EXPECT_STREQ("pt-BR", options.language);
    EXPECT_STREQ("C:\\FSX X\\", options.simFolder);
    char arguments[MAX_PATH + 64];
    ASSERT_TRUE(FormFilesOnlyArguments(options, "C:\\FSX X\\", arguments, sizeof(arguments)));
    ASSERT_TRUE(ParseCommandLine(arguments, &options, error, sizeof(error))) << arguments;
    EXPECT_TRUE(options.filesOnly);
    EXPECT_STREQ("pt-BR", options.language);
    EXPECT_FALSE(ParseCommandLine("/S /LANG=abcdefghijklmnop", &options, error, sizeof(error)));
}

}  // namespace
