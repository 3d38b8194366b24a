#include <gtest/gtest.h>

#include <string>

#include "core/aircraft_key.h"

namespace {

std::string KeyOf(const std::string &path) {
    PathParts parts;
    SplitPath(path.c_str(), &parts);
    return parts.baseName;
}

TEST(SplitPath, FullAircraftPath) {
    PathParts parts;
    SplitPath("C:\\FSX\\SimObjects\\Airplanes\\Liner\\Liner.air", &parts);
    EXPECT_STREQ("C:", parts.drive);
    EXPECT_STREQ("\\FSX\\SimObjects\\Airplanes\\Liner\\", parts.folder);
    EXPECT_STREQ("Liner", parts.baseName);
    EXPECT_STREQ(".air", parts.extension);
}

TEST(SplitPath, KeyCases) {
    EXPECT_EQ("Liner", KeyOf("Liner.air")) << "no folder";
    EXPECT_EQ("Liner", KeyOf("C:\\A\\Liner")) << "no extension";
    EXPECT_EQ("Jet.Cargo", KeyOf("C:\\A\\Jet.Cargo.air")) << "only the last dot starts the extension";
    EXPECT_EQ("", KeyOf("")) << "empty reply";
    EXPECT_EQ("Prop", KeyOf("D:/sim/Prop.air")) << "forward slashes separate folders too";
    EXPECT_EQ("", KeyOf("C:\\A.B\\")) << "a dot in a folder name is not an extension";
}

TEST(SplitPath, OverlongComponentIsCutNotOverflowed) {
    const std::string longName(300, 'x');
    PathParts parts;
    memset(&parts, 0x55, sizeof parts);
    SplitPath(("C:\\" + longName + ".air").c_str(), &parts);
    EXPECT_EQ(std::string(255, 'x'), std::string(parts.baseName))
        << "the key keeps the base name's first 255 characters";
    EXPECT_STREQ(".air", parts.extension);
    SplitPath(("C:\\" + longName + "\\Liner.air").c_str(), &parts);
    EXPECT_EQ(255u, strlen(parts.folder));
    EXPECT_STREQ("Liner", parts.baseName);
}

}  // namespace
