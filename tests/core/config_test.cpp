#include <gtest/gtest.h>

#include <stdio.h>
#include <string>

#include "core/config.h"
#include "core/state.h"
#include "temp_files.h"

namespace {

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAddonState();
        snprintf(PushbackState.configPath, sizeof PushbackState.configPath, "%s", folder.File("Drovana.cfg").c_str());
    }
    std::string Text(const char *section, const char *key, const char *defaultText) {
        char buffer[256];
        ReadConfigText(section, key, defaultText, buffer, sizeof buffer);
        return buffer;
    }
    TempFolder folder;
};

TEST_F(ConfigTest, MissingFileGivesEveryDefault) {
    EXPECT_EQ(90, ReadConfigNumber(kSectionData, kHead));
    EXPECT_EQ(50, ReadConfigNumber(kSectionData, kDistance));
    EXPECT_FALSE(ReadConfigSwitch(kSectionData, kWavFlag));
    EXPECT_FALSE(ReadConfigSwitch(kSectionParking, kCheck1));
    EXPECT_EQ("90", Text(kSectionData, kKeyHead, "90"));
    EXPECT_EQ("", Text(kSectionPlaneCorrect, "Liner", nullptr)) << "a null default reads as empty";
    EXPECT_EQ(0.0, ReadCorrection("Liner"));
    EXPECT_FALSE(FileExists(PushbackState.configPath)) << "reading must not create the file";
}

TEST_F(ConfigTest, WritesCreateTheFileAndReadBack) {
    WriteConfigText(kSectionData, kKeyDistance, "40.7");
    WriteConfigSwitch(kSectionParking, kCheck2, true);
    WriteConfigSwitch(kSectionParking, kCheck3, false);
    EXPECT_EQ(CONFIG_STORED, WriteCorrection("Liner", 12.345678));
    ASSERT_TRUE(FileExists(PushbackState.configPath));
    EXPECT_EQ("40.7", Text(kSectionData, kKeyDistance, "50"));
    EXPECT_EQ(40, ReadConfigNumber(kSectionData, kDistance)) << "only whole metres take effect";
    EXPECT_EQ("1", Text(kSectionParking, kKeyCheck2, ""));
    EXPECT_EQ("0", Text(kSectionParking, kKeyCheck3, ""));
    EXPECT_EQ("12.345678", Text(kSectionPlaneCorrect, "Liner", "")) << "corrections are written with %f";
    WriteCorrection("Liner", 2.5);
    EXPECT_EQ("2.500000", Text(kSectionPlaneCorrect, "Liner", "")) << "a new measurement replaces the old one";
}

// The radius is taken only within 3 to 200 m; anything else is "not measured".
TEST_F(ConfigTest, TurnRadiusReadsOnlyWithinItsRange) {
    const struct {
        const char *stored;
        double read;
    } cases[] = {{"34.377468", 34.377468}, {"3", 3.0},    {"200.0", 200.0}, {"2.999", 0.0}, {"200.01", 0.0},
                 {"-30", 0.0},             {"nan", 0.0},  {"30m", 0.0},     {"", 0.0}};
    for (const auto &c : cases) {
        WriteConfigText(kSectionPlaneRadius, "Liner", c.stored);
        EXPECT_EQ(c.read, ReadTurnRadius("Liner")) << "stored \"" << c.stored << "\"";
    }
    EXPECT_EQ(CONFIG_STORED, WriteTurnRadius("Liner", 34.5));
    EXPECT_EQ("34.500000", Text(kSectionPlaneRadius, "Liner", "")) << "radii are written with %f";
    for (double wrong : {2.9, 200.5, -5.0, __builtin_nan("")}) {
        EXPECT_EQ(CONFIG_OUT_OF_RANGE, WriteTurnRadius("Liner", wrong)) << wrong;
        EXPECT_EQ("34.500000", Text(kSectionPlaneRadius, "Liner", "")) << wrong << " replaced the stored radius";
    }
    EXPECT_EQ("", Text(kSectionPlaneCorrect, "Liner", "")) << "the radius has a section of its own";
}

TEST_F(ConfigTest, SwitchIsOnOnlyForExactlyOne) {
    WriteConfigText(kSectionData, kKeyWavFlag, "2");
    EXPECT_FALSE(ReadConfigSwitch(kSectionData, kWavFlag)) << "2 typed by hand means off";
    WriteConfigText(kSectionData, kKeyWavFlag, "1");
    EXPECT_TRUE(ReadConfigSwitch(kSectionData, kWavFlag));
    WriteConfigText(kSectionData, kKeyWavFlag, "yes");
    EXPECT_FALSE(ReadConfigSwitch(kSectionData, kWavFlag));
}

TEST_F(ConfigTest, LongValueIsCutToTheBuffer) {
    const std::string value(300, 'v');
    WriteConfigText("Sound0", "1", value.c_str());
    char small[64];
    ReadConfigText("Sound0", "1", "Error", small, sizeof small);
    EXPECT_EQ(std::string(63, 'v'), std::string(small));
    EXPECT_EQ(std::string(255, 'v'), Text("Sound0", "1", "Error")) << "a 256-byte reader keeps 255 characters";
}

TEST(CorrectionRounding, HalfUpToWholeMetres) {
    EXPECT_EQ(3, RoundedCorrection(2.5));
    EXPECT_EQ(2, RoundedCorrection(2.499999));
    EXPECT_EQ(13, RoundedCorrection(12.5));
    EXPECT_EQ(-2, RoundedCorrection(-2.5)) << "floor(-2.5 + 0.5) is -2: the push gets 2 m longer";
    EXPECT_EQ(60, RoundedCorrection(60.0));
    EXPECT_EQ(0, RoundedCorrection(__builtin_nan(""))) << "NaN must not become a random integer";
}

TEST_F(ConfigTest, CorrectionTextsThatAreNoNumber) {
    const struct {
        const char *text;
        double value;
    } cases[] = {{"", 0.0},        {"abc", 0.0},     {"  7.25m", 0.0},  {"-2.5", -2.5},   {"1e1", 10.0},
                 {"inf", 0.0},     {"nan", 0.0},     {"0x10", 0.0},     {".5", 0.5},      {"+3", 3.0},
                 {" 100 ", 100.0}, {"-100", -100.0}, {"100.5", 0.0},    {"-1e308", 0.0},  {"1e", 0.0}};
    for (const auto &c : cases) {
        WriteConfigText(kSectionPlaneCorrect, "Liner", c.text);
        EXPECT_EQ(c.value, ReadCorrection("Liner")) << "correction text \"" << c.text << "\"";
    }
    EXPECT_GT(RoundedCorrection(1e300), 0) << "a huge value must clamp, not overflow";
}

// Out of range or no number reads as missing: the value a missing key gives.
TEST_F(ConfigTest, NumbersOutsideTheirRangeReadAsMissing) {
    const std::string cut(300, '1');
    const struct {
        const char *section;
        const ConfigNumber &number;
        const char *text;
        int value;
    } cases[] = {
        {kSectionData, kDistance, "99999999999", 50}, {kSectionData, kDistance, "-40", 50},
        {kSectionData, kDistance, "5O", 50},          {kSectionData, kDistance, "500", 500},
        {kSectionData, kDistance, " 1e2 ", 100},      {kSectionData, kDistance, cut.c_str(), 50},
        {kSectionData, kHead, "0", 90},               {kSectionData, kHead, "180", 180},
        {kSectionData, kEngFlag, "4", 0},             {"Sound0", kNumberSound, "100", 0},
    };
    for (const auto &c : cases) {
        WriteConfigText(c.section, c.number.key, c.text);
        EXPECT_EQ(c.value, ReadConfigNumber(c.section, c.number)) << c.number.key << "=" << c.text;
    }
}

TEST_F(ConfigTest, OnlyAFiniteCorrectionWithinItsRangeIsStored) {
    ASSERT_EQ(CONFIG_STORED, WriteCorrection("Liner", 2.5));
    for (double wild : {__builtin_nan(""), __builtin_inf(), -1e308, 100.000001}) {
        EXPECT_EQ(CONFIG_OUT_OF_RANGE, WriteCorrection("Liner", wild)) << wild;
        EXPECT_EQ("2.500000", Text(kSectionPlaneCorrect, "Liner", "")) << wild << " replaced the correction";
    }
    EXPECT_EQ(CONFIG_STORED, WriteCorrection("Liner", -100.0));
}

struct RaceShared {
    volatile LONG stop;
    LONG tornReads;
    LONG reads;
};

DWORD WINAPI ReadWhileWritten(LPVOID parameter) {
    RaceShared *shared = static_cast<RaceShared *>(parameter);
    while (!shared->stop) {
        char value[256];
        ReadConfigText(kSectionData, kKeyDistance, "50", value, sizeof value);
        const std::string text = value;
        if (text != "50" && text != std::string(200, 'a') && text != std::string(200, 'b'))
            InterlockedIncrement(&shared->tornReads);
        InterlockedIncrement(&shared->reads);
    }
    return 0;
}

TEST_F(ConfigTest, ReadersRacingAWriterSeeWholeValues) {
    RaceShared shared = {0, 0, 0};
    HANDLE reader = CreateThread(nullptr, 0, ReadWhileWritten, &shared, 0, nullptr);
    ASSERT_NE(static_cast<HANDLE>(nullptr), reader);
    for (int i = 0; i < 200; ++i)
        WriteConfigText(kSectionData, kKeyDistance, std::string(200, i % 2 ? 'a' : 'b').c_str());
    shared.stop = 1;
    WaitForSingleObject(reader, 10000);
    CloseHandle(reader);
    EXPECT_GT(shared.reads, 0);
    EXPECT_EQ(0, shared.tornReads) << "a reader saw part of a concurrent write";
}

}  // namespace
