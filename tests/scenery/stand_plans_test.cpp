#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "map_report.h"
#include "scenery_files.h"
#include "stand_plans.h"
#include "temp_files.h"

namespace {

// KTST of the sample file: gates A12 (pushback right only) and B7 and a ramp
// spot, all facing away from the taxilane, and the field X9.
struct SampleMap {
    AirportMap map;
    SampleMap() {
        ReportNotes notes(nullptr);
        ReadOneFile(TestAirportPath("sample").c_str(), &map, &notes);
    }
};

std::vector<std::string> Split(const std::string &text, char at) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, at)) parts.push_back(part);
    return parts;
}

std::string Quiet;
void Keep(const std::string &text) { Quiet += text; }

// Drovana.cfg's radii as the add-on reads them: in range and a number, else
// not measured; a correction out of range counts as none.
TEST(StandPlans, TheReportPlansForEachMeasuredAircraftOrTheDefaults) {
    SampleMap sample;
    TempFolder folder;
    const std::string config = folder.File("Drovana.cfg");
    WritePrivateProfileStringA("PLANE_RADIUS", "Liner", "34.500000", config.c_str());
    WritePrivateProfileStringA("PLANE_RADIUS", "Junk", "3x", config.c_str());
    WritePrivateProfileStringA("PLANE_RADIUS", "Tiny", "1.0", config.c_str());
    WritePrivateProfileStringA("PLANE_RADIUS", "Heavy", "50", config.c_str());
    WritePrivateProfileStringA("PLANE_CORRECT", "Liner", "2.5", config.c_str());
    WritePrivateProfileStringA("PLANE_CORRECT", "Heavy", "999", config.c_str());

    const std::vector<PlanAircraft> aircraft = MeasuredAircraft(config.c_str());
    ASSERT_EQ(2u, aircraft.size());
    EXPECT_EQ("Liner", aircraft[0].name);
    EXPECT_EQ(2.5, aircraft[0].correction);
    EXPECT_EQ("Heavy", aircraft[1].name);
    EXPECT_EQ(0.0, aircraft[1].correction);

    const std::string report = StandPlansReport(sample.map, "KTST", config.c_str());
    for (const char *line :
         {"Liner, radius 34.5 m, correction 2.5 m:\r\n", "Heavy, radius 50.0 m, correction 0.0 m:\r\n",
          "  GATE_A 12    Left  Taxiway: this stand allows pushback to the right only\r\n"})
        EXPECT_NE(std::string::npos, report.find(line)) << line << "\n" << report;
    EXPECT_EQ(2u * 2 * 3, Split(report, '\n').size() - 3) << "two aircraft, three stands, two sides:\n" << report;

    const std::string defaults = StandPlansReport(sample.map, "KTST", folder.File("none.cfg").c_str());
    EXPECT_NE(std::string::npos, defaults.find("has a turn radius yet")) << defaults;
    EXPECT_NE(std::string::npos, defaults.find("the defaults, radius 34.4 m, correction 3.0 m:")) << defaults;
    EXPECT_EQ("", StandPlansReport(sample.map, "KXXX", config.c_str())) << "an airport not read";
}

// One row per stand and side with the columns named in the header; numbers
// only where there is a plan. Arguments out of range write nothing.
TEST(StandPlans, PlansModeWritesEveryStandBothSides) {
    TempFolder out;
    const std::string file = TestAirportPath("sample");
    EXPECT_EQ(0, PlansOfFile({"--plans", file, "KTST", "--radius", "30", "--out", out.Path()}, Keep)) << Quiet;
    std::string tsv;
    ASSERT_TRUE(ReadFileBytes(out.File("KTST-plans.tsv"), &tsv)) << Quiet;
    EXPECT_TRUE(FileExists(out.File("KTST-plans.svg")));
    EXPECT_FALSE(FileExists(out.File("X9-plans.tsv"))) << "only the airport named";
    const std::vector<std::string> rows = Split(tsv, '\n');
    ASSERT_EQ(7u, rows.size()) << tsv;
    EXPECT_EQ(
        "stand\tlatitude\tlongitude\theading\tside\ttext\tpush_m\tturn_deg\tturn_latitude\tturn_longitude\t"
        "end_latitude\tend_longitude\tend_heading",
        rows[0]);
    for (size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string> cells = Split(rows[i] + "\t.", '\t');
        ASSERT_EQ(14u, cells.size()) << rows[i];
        EXPECT_EQ(i % 2 == 1 ? "Left" : "Right", cells[4]) << rows[i];
        EXPECT_EQ(cells[5].find("Taxiway: ") == 0, cells[6].empty()) << "numbers only with a plan: " << rows[i];
    }
    EXPECT_EQ("GATE_A 12", Split(rows[1], '\t')[0]);

    for (const std::vector<std::string> &wrong :
         {std::vector<std::string>{"--plans", file, "--radius", "2", "--out", out.Path()},
          std::vector<std::string>{"--plans", file, "--correction", "nan", "--out", out.Path()},
          std::vector<std::string>{"--plans", file, "KTST"}}) {
        EXPECT_EQ(2, PlansOfFile(wrong, Keep)) << wrong[2];
    }
}

}  // namespace
