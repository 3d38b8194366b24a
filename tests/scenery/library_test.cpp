// The library of a simulator folder: Scenery.CFG as pilots' machines have it,
// areas and their folders, layers, and which edition's file is read.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <math.h>
#include <shlwapi.h>
#include <stdio.h>

#include "library_reader.h"
#include "scenery_cfg.h"
#include "scenery_files.h"
#include "temp_files.h"

namespace {

std::string Describe(const SceneryArea &a) {
    return std::to_string(a.number) + "|" + std::to_string(a.layer) + "|" + (a.active ? "on" : "off") + "|" + a.title +
           "|" + a.local;
}

struct CfgText {
    const char *name;
    std::string text;
    std::vector<std::string> areas;  // number|layer|on/off|title|local, as written
};

const CfgText kCfgTexts[] = {
    {"CRLF with a [General] section and spaces around '='",
     "[General]\r\nTitle=FS9 World Scenery\r\nClean_on_Exit=TRUE\r\n\r\n[Area.001]\r\nTitle = Default Terrain\r\n"
     "Local = Scenery\\World\r\nLayer = 1\r\nActive = TRUE\r\nRequired=TRUE\r\n\r\n[Area.002]\r\nTitle=Addon\r\n"
     "Local=D:\\Addons\\KSEA\r\nLayer=120\r\nActive=FALSE\r\n",
     {"1|1|on|Default Terrain|Scenery\\World", "2|120|off|Addon|D:\\Addons\\KSEA"}},
    {"a UTF-8 byte order mark", "\xEF\xBB\xBF[Area.001]\nLocal=A\nActive=TRUE\n", {"1|1|on||A"}},
    {"no final newline",
     "[Area.007]\nTitle=Last\nLocal=Addon Scenery\nLayer=7\nActive=TRUE",
     {"7|7|on|Last|Addon Scenery"}},
    {"Windows-1252 title",
     "[Area.003]\nTitle=A\xe9roport de Gen\xe8ve\nLocal=Scenery\\LSGG\nLayer=3\nActive=TRUE\n",
     {"3|3|on|A\xe9roport de Gen\xe8ve|Scenery\\LSGG"}},
    {"duplicate area numbers after a hand edit",
     "[Area.010]\nLocal=One\nLayer=10\nActive=TRUE\n[Area.010]\nLocal=Two\nLayer=11\nActive=TRUE\n",
     {"10|10|on||One", "10|11|on||Two"}},
    {"lower-case keys, no Layer, odd Active values, comments and other sections",
     "; edited by hand\n[area.004]\nlocal=Four\nactive=true\n[Area.005]\nLocal=Five\nActive=1\n[Area.006]\n"
     "Local=Six\nActive=YES\n[Other]\nLocal=Nope\n[Area.x]\nLocal=Bad\n",
     {"4|4|on||Four", "5|5|on||Five", "6|6|off||Six"}},
};

TEST(SceneryCfg, ParsesTheTextsPilotsHave) {
    for (const CfgText &cfg : kCfgTexts) {
        std::vector<std::string> seen;
        for (const SceneryArea &a : ParseSceneryCfg(cfg.text.data(), cfg.text.size())) seen.push_back(Describe(a));
        EXPECT_EQ(cfg.areas, seen) << cfg.name;
    }
}

TEST(SceneryCfg, AreaFolderJoinsRelativeLocalAndKeepsAbsolute) {
    struct Case {
        const char *local;
        const char *folder;
    };
    const std::string tooLong(300, 'x');
    const Case cases[] = {
        {"Scenery\\World", "C:\\FSX\\Scenery\\World\\"},
        {"Addon Scenery\\", "C:\\FSX\\Addon Scenery\\"},
        {"D:\\Addons\\KSEA", "D:\\Addons\\KSEA\\"},
        {"\\\\server\\share\\EGLL", "\\\\server\\share\\EGLL\\"},
        {"", ""},
        {tooLong.c_str(), ""},  // longer than a path: no folder, no overflow
    };
    for (const Case &c : cases) {
        char folder[MAX_PATH];
        const bool made = AreaFolder("C:\\FSX\\", c.local, folder, sizeof folder);
        EXPECT_EQ(c.folder[0] != '\0', made) << c.local;
        EXPECT_STREQ(c.folder, folder) << c.local;
    }
}

// Lines of what the reading said, to look into.
struct Notes : MapNotes {
    std::string all;
    void Skipped(const char *file, const char *icao, const char *why) override {
        all += std::string("skipped ") + icao + " " + file + ": " + why + "\n";
    }
    void Library(const char *text) override { all += std::string(text) + "\n"; }
};

// An area of the test's simulator folder: its files copied from the test
// airports, its Local relative or absolute, or missing altogether.
struct Area {
    int layer;
    const char *file;  // test airport in it; nullptr for a folder that is not there
    bool active;
    bool absolute;
};

struct Layering {
    const char *name;
    std::vector<Area> areas;
    uint32_t status;      // of the answer at the KLAY gate
    uint32_t spot;        // the spot's number there: 1 the lower file's, 9 the higher's
    const char *path;     // the taxiway named in the answer
    const char *logSays;  // part of the notes, or ""
};

// The cases as a table, as they were written.
// clang-format off
const Layering kLayerings[] = {
    {"one area", {{10, "lower", true, false}}, MAP_AIRPORT, 1, "LOW", "1 active"},
    {"a higher layer replaces the network", {{10, "lower", true, false}, {20, "higher", true, true}}, MAP_AIRPORT, 9,
     "HIGH", ""},
    {"the layer decides, not the order written", {{20, "higher", true, false}, {10, "lower", true, false}},
     MAP_AIRPORT, 9, "HIGH", ""},
    {"a higher inactive area counts for nothing", {{10, "lower", true, false}, {20, "higher", false, false}},
     MAP_AIRPORT, 1, "LOW", "1 active"},
    {"a delete record above removes the network", {{10, "lower", true, false}, {20, "delete", true, false}},
     MAP_NO_AIRPORT, 0, "", ""},
    {"a delete record below removes nothing", {{5, "delete", true, false}, {10, "lower", true, true}}, MAP_AIRPORT, 1,
     "LOW", ""},
    {"the same airport above without a network leaves the network", {{10, "lower", true, false}, {20, "plain", true, false}},
     MAP_AIRPORT, 1, "LOW", ""},
    {"a missing area folder is skipped and said", {{10, "lower", true, false}, {20, nullptr, true, false}}, MAP_AIRPORT,
     1, "LOW", "is missing"},
};
// clang-format on

TEST(SceneryLibrary, LayersDecideWhichNetworkAnAirportHas) {
    for (const Layering &layering : kLayerings) {
        TempFolder sim;
        std::string cfg = "[General]\r\nTitle=test\r\n";
        for (size_t i = 0; i < layering.areas.size(); ++i) {
            const Area &area = layering.areas[i];
            const std::string local = "Area" + std::to_string(i);
            if (area.file != nullptr) {
                CreateDirectoryA(sim.File(local).c_str(), nullptr);
                CreateDirectoryA(sim.File(local + "\\scenery").c_str(), nullptr);
                ASSERT_TRUE(CopyFileA(TestAirportPath(area.file).c_str(),
                                      sim.File(local + "\\scenery\\" + area.file + ".bgl").c_str(), FALSE));
            }
            char section[256];
            snprintf(section, sizeof section, "[Area.%03u]\r\nTitle=%s\r\nLocal=%s\r\nLayer=%d\r\nActive=%s\r\n",
                     static_cast<unsigned>(i + 1), area.file ? area.file : "gone",
                     (area.absolute ? sim.File(local) : local).c_str(), area.layer, area.active ? "TRUE" : "FALSE");
            cfg += section;
        }
        // A start that reads every file, then one that takes them all from
        // what the first kept: the layers must come out the same.
        MapIndex first, second;
        for (const char *start : {"read", "from the index"}) {
            const bool again = start[0] == 'f';
            AirportMap map;
            Notes notes;
            ReadAreas(sim.Path().c_str(), cfg.data(), cfg.size(), &map, &notes, nullptr, again ? &first : nullptr,
                      again ? &second : &first);
            map.Compact();
            MapAnswerHeader header = {};
            MapPath paths[8];
            const uint32_t count = map.Answer(40.0, -75.0, &header, paths, 8);  // KLAY's gates
            EXPECT_EQ(layering.status, header.status) << layering.name << ", " << start << "\n" << notes.all;
            EXPECT_EQ(layering.spot, header.parkingNumber) << layering.name << ", " << start;
            bool named = layering.path[0] == '\0';
            for (uint32_t i = 0; i < count; ++i) named = named || strcmp(paths[i].name, layering.path) == 0;
            EXPECT_TRUE(named) << layering.name << ", " << start << ": no path " << layering.path;
            EXPECT_NE(std::string::npos, notes.all.find(layering.logSays)) << layering.name << "\n" << notes.all;
        }
        EXPECT_TRUE(second.SameAs(first)) << layering.name << ": an unchanged library's index changed";
    }
}

// The registry of each edition laid out in keys of this process alone.
class Registry {
public:
    Registry() {
        snprintf(scratch_, sizeof scratch_, "Software\\DrovanaXMapTest-%lu", GetCurrentProcessId());
        RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(scratch_) + "\\m").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &machine_, nullptr);
        RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(scratch_) + "\\u").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &user_, nullptr);
    }
    ~Registry() {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(machine_);
        RegCloseKey(user_);
        SHDeleteKeyA(HKEY_CURRENT_USER, scratch_);
    }
    void Set(bool machine, const char *subKey, const char *name, const std::string &value) {
        HKEY key = nullptr;
        RegCreateKeyExA(machine ? machine_ : user_, subKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
        RegCloseKey(key);
    }
    void Override() {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_);
        RegOverridePredefKey(HKEY_CURRENT_USER, user_);
    }

private:
    char scratch_[64];
    HKEY machine_ = nullptr, user_ = nullptr;
};

TEST(SceneryLibrary, EachEditionReadsItsOwnSceneryCfgFirst) {
    const char kBoxed[] = "Software\\Microsoft\\Microsoft Games\\Flight Simulator\\10.0";
    const char kSteam[] = "SOFTWARE\\Dovetail Games\\FSX\\10.0";
    struct Case {
        const char *name;
        bool boxed, steam;
        const char *asked;
        const char *own, *other;
    };
    const Case cases[] = {
        {"boxed edition alone", true, false, "A", "FSX", "FSX-SE"},
        {"Steam Edition alone", false, true, "S", "FSX", "FSX-SE"},
        {"Steam Edition beside the boxed one", true, true, "S", "FSX-SE", "FSX"},
        {"the boxed edition beside the Steam Edition", true, true, "A", "FSX", "FSX-SE"},
        {"a folder no key names", false, false, "A", "FSX", "FSX-SE"},
    };
    TempFolder work;
    CreateDirectoryA(work.File("A").c_str(), nullptr);
    CreateDirectoryA(work.File("S").c_str(), nullptr);
    for (const Case &c : cases) {
        std::string candidates[2], simulator;
        int count = 0;
        {
            Registry registry;
            if (c.boxed) registry.Set(true, kBoxed, "SetupPath", work.File("A") + "\\");
            if (c.steam) registry.Set(true, kSteam, "Install_Path", work.File("S") + "\\");
            registry.Override();
            count = SceneryCfgCandidates((work.File(c.asked) + "\\").c_str(), candidates, &simulator);
        }
        ASSERT_EQ(2, count) << c.name;
        const std::string own = std::string("\\Microsoft\\") + c.own + "\\Scenery.CFG";
        const std::string other = std::string("\\Microsoft\\") + c.other + "\\Scenery.CFG";
        EXPECT_TRUE(StrStrIA(candidates[0].c_str(), own.c_str()) != nullptr) << c.name << ": " << candidates[0];
        EXPECT_TRUE(StrStrIA(candidates[1].c_str(), other.c_str()) != nullptr) << c.name << ": " << candidates[1];
    }
}

TEST(SceneryLibrary, TheOtherEditionsFileIsReadWhenItsOwnIsMissing) {
    TempFolder sim;
    CreateDirectoryA(sim.File("Area").c_str(), nullptr);
    CreateDirectoryA(sim.File("Area\\scenery").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(TestAirportPath("lower").c_str(), sim.File("Area\\scenery\\lower.bgl").c_str(), FALSE));
    const std::string cfg = "[Area.001]\nLocal=Area\nLayer=1\nActive=TRUE";
    const std::string present = sim.File("other.cfg");
    ASSERT_TRUE(WriteBytes(present, BglBytes(cfg.begin(), cfg.end())));
    struct Case {
        std::vector<std::string> candidates;
        bool read;
        const char *said;
    };
    const Case cases[] = {
        {{sim.File("own.cfg"), present}, true, "(the edition's own is missing)"},
        {{present, sim.File("own.cfg")}, true, "read "},
        {{sim.File("own.cfg"), sim.File("nor.cfg")}, false, "no Scenery.CFG read"},
    };
    for (const Case &c : cases) {
        AirportMap map;
        Notes notes;
        EXPECT_EQ(c.read, ReadFirstSceneryCfg(sim.Path().c_str(), c.candidates.data(), 2, &map, &notes, nullptr));
        EXPECT_EQ(c.read ? 1u : 0u, map.AirportCount()) << notes.all;
        EXPECT_NE(std::string::npos, notes.all.find(c.said)) << notes.all;
    }
}

TEST(SceneryLibrary, BrokenAndForeignFilesAreOneLogLineEach) {
    TempFolder sim;
    CreateDirectoryA(sim.File("A").c_str(), nullptr);
    CreateDirectoryA(sim.File("A\\scenery").c_str(), nullptr);
    CreateDirectoryA(sim.File("A\\scenery\\deeper").c_str(), nullptr);
    BglBytes p3d = TestAirport("p3d5");
    ASSERT_FALSE(p3d.empty());
    WriteU16(&p3d, FirstAirportRecord(p3d), 0x00AB);
    ASSERT_TRUE(WriteBytes(sim.File("A\\scenery\\p3d5.bgl"), p3d));
    ASSERT_TRUE(WriteBytes(sim.File("A\\scenery\\empty.bgl"), BglBytes()));
    BglBytes cut = TestAirport("sample");
    cut.resize(cut.size() / 2);
    ASSERT_TRUE(WriteBytes(sim.File("A\\scenery\\cut.bgl"), cut));
    // Not read: deeper folders are not the area's, and a file renamed to
    // turn it off is not a BGL file.
    ASSERT_TRUE(CopyFileA(TestAirportPath("sample").c_str(), sim.File("A\\scenery\\deeper\\s.bgl").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(TestAirportPath("sample").c_str(), sim.File("A\\scenery\\off.bgl_").c_str(), FALSE));
    const std::string cfg = "[Area.001]\nLocal=A\nLayer=1\nActive=TRUE\n";
    AirportMap map;
    Notes notes;
    ReadAreas(sim.Path().c_str(), cfg.data(), cfg.size(), &map, &notes, nullptr);
    map.Compact();
    EXPECT_EQ(1u, map.AirportCount()) << "KOKK of the Prepar3D file only\n" << notes.all;
    AirportMap::View view;
    EXPECT_TRUE(map.Find("KOKK", &view));
    const char *lines[] = {"skipped KPPP", "p3d5.bgl: a Prepar3D v5 airport", "empty.bgl: no BGL header",
                           "cut.bgl: airport records at offset"};
    for (const char *line : lines) EXPECT_NE(std::string::npos, notes.all.find(line)) << line << "\n" << notes.all;
    size_t skipped = 0;
    for (size_t at = notes.all.find("skipped"); at != std::string::npos; at = notes.all.find("skipped", at + 1))
        ++skipped;
    EXPECT_EQ(3u, skipped) << notes.all;
}

// The map of one test airport file, added as path in that layer.
void MapOfTestAirport(const char *name, const char *path, int layer, AirportMap *map) {
    BglFileContents contents;
    char why[kBglWhySize];
    const BglBytes bytes = TestAirport(name);
    ASSERT_TRUE(ReadBglAirports(bytes.data(), bytes.size(), &contents, why, sizeof why)) << why;
    Notes notes;
    map->AddFile(path, layer, contents, &notes);
    map->Compact();
}

TEST(AirportMapAnswer, StandPathsAndReachAtEachPosition) {
    AirportMap map;
    ASSERT_NO_FATAL_FAILURE(MapOfTestAirport("sample", "C:\\FSX\\Addon\\scenery\\sample.bgl", 42, &map));
    // Positions in metres east and north of KTST's reference (47.5, -122.3).
    struct Case {
        const char *name;
        double east, north;
        uint32_t status;
        const char *spot;
        uint32_t paths;
    };
    const Case cases[] = {
        {"at gate A12: all but the two paths past 300 m", 0, 5, MAP_AIRPORT, "GATE_A", 6},
        {"inside gate B7's circle, 20 m off its centre", 100, 20, MAP_AIRPORT, "GATE_B", 6},
        {"by the taxilane, in no circle", 250, -60, MAP_AIRPORT, "", 8},
        {"290 m south of the runway path", 0, -590, MAP_AIRPORT, "", 1},
        {"310 m south of the runway path", 0, -610, MAP_NO_AIRPORT, "", 0},
        {"far away", 5000, 5000, MAP_NO_AIRPORT, "", 0},
    };
    for (const Case &c : cases) {
        const double lat = 47.5 + c.north / 1852.0 / 60.0;
        const double lon = -122.3 + c.east / (1852.0 * 60.0 * cos(47.5 * 3.14159265358979323846 / 180.0));
        MapAnswerHeader header = {};
        header.questionId = 77;
        static MapPath paths[kMapMaxPaths];
        const uint32_t count = map.Answer(lat, lon, &header, paths, kMapMaxPaths);
        EXPECT_EQ(77u, header.questionId) << c.name;
        EXPECT_EQ(c.status, header.status) << c.name;
        EXPECT_EQ(c.paths, count) << c.name;
        EXPECT_EQ(sizeof header + count * sizeof(MapPath), header.size) << c.name;
        EXPECT_STREQ(c.spot, header.parkingName) << c.name;
        if (c.status != MAP_AIRPORT) continue;
        EXPECT_STREQ("KTST", header.icao) << c.name;
        EXPECT_EQ(42, header.layer) << c.name;
        EXPECT_STREQ("C:\\FSX\\Addon\\scenery\\sample.bgl", header.file) << c.name;
    }
    // The runway path is the nearest to a position south of it, and says which runway.
    MapAnswerHeader header = {};
    static MapPath paths[kMapMaxPaths];
    ASSERT_GT(map.Answer(47.5 - 590 / 1852.0 / 60.0, -122.3, &header, paths, kMapMaxPaths), 0u);
    EXPECT_EQ(static_cast<uint32_t>(MAP_PATH_RUNWAY), paths[0].type);
    EXPECT_STREQ("16L", paths[0].name);
    EXPECT_EQ(45.0f, paths[0].width);
    // At gate B7: its heading, radius, pushback side and number; the stands
    // around it nearest first (A12 100 m off, the ramp spot 251 m), their
    // bytes counted in the answer's size.
    MapStand stands[kMapMaxStands];
    map.Answer(47.5, -122.3 + 100 / (1852.0 * 60.0 * cos(47.5 * 3.14159265358979323846 / 180.0)), &header, paths,
               kMapMaxPaths, stands, kMapMaxStands);
    ASSERT_EQ(3u, header.standCount);
    EXPECT_EQ(sizeof header + header.pathCount * sizeof(MapPath) + 3 * sizeof(MapStand), header.size);
    EXPECT_EQ(25.0f, stands[1].radius);
    EXPECT_NEAR(-122.3, stands[1].longitude, 1e-6) << "A12 second";
    EXPECT_EQ(10.0f, stands[2].radius) << "the ramp spot last";
    EXPECT_EQ(7u, header.parkingNumber);
    EXPECT_EQ(static_cast<uint32_t>(MAP_PUSH_BOTH), header.pushbackSide);
    EXPECT_EQ(180.0f, header.parkingHeading);
    EXPECT_EQ(25.0f, header.parkingRadius);
    // Fewer paths asked for than there are: the nearest ones.
    EXPECT_EQ(2u, map.Answer(47.5, -122.3, &header, paths, 2));
    EXPECT_EQ(2u, header.pathCount);
    EXPECT_EQ(static_cast<uint32_t>(MAP_PATH_PARKING), paths[0].type) << "the gate's own lead-in is nearest";
}

// A taxi line 400 m long that ends 33 m short of 180 degrees: an aircraft 64 m
// past its end across 180 degrees is 64 m from it, not 464 m from its other end.
TEST(AirportMapAnswer, ReachWrapsAcrossTheAntimeridian) {
    AirportMap map;
    ASSERT_NO_FATAL_FAILURE(MapOfTestAirport("antimeridian", "antimeridian.bgl", 1, &map));
    const struct {
        const char *icao;  // expected; "" for none
        double latitude, referenceLongitude, metresEast;
    } cases[] = {
        {"NFAW", 0, 179.997, 364},    // past the eastern end, at -179.99972
        {"NFAE", 1, -179.997, -364},  // past the western end, at 179.99972
        {"", 0, 179.997, 700},        // 400 m past it: out of reach
    };
    for (const auto &c : cases) {
        const double metresPerDegree = 1852.0 * 60.0 * cos(c.latitude * 3.14159265358979323846 / 180.0);
        double longitude = c.referenceLongitude + c.metresEast / metresPerDegree;
        longitude += longitude > 180.0 ? -360.0 : longitude < -180.0 ? 360.0 : 0.0;
        MapAnswerHeader header = {};
        static MapPath paths[kMapMaxPaths];
        const uint32_t count = map.Answer(c.latitude, longitude, &header, paths, kMapMaxPaths);
        EXPECT_STREQ(c.icao, header.icao) << "at " << c.latitude << ", " << longitude;
        EXPECT_EQ(c.icao[0] ? 1u : 0u, count) << "at " << c.latitude << ", " << longitude;
    }
}

// Compact moves each kept network down over the replaced and deleted ones in
// the same arrays: every airport keeps exactly the network it had, whether
// it lay before, between or after what was dropped.
TEST(AirportMap, CompactKeepsEveryNetworkAsItWas) {
    struct Quiet : MapNotes {
        void Skipped(const char *, const char *, const char *) override {}
        void Library(const char *) override {}
    } quiet;
    auto same = [](const AirportMap::View &a, const AirportMap::View &b) {
        return a.points.size() == b.points.size() && a.parking.size() == b.parking.size() &&
               a.paths.size() == b.paths.size() && a.names.size() == b.names.size() &&
               memcmp(a.points.data(), b.points.data(), a.points.size() * sizeof(BglPoint)) == 0 &&
               memcmp(a.parking.data(), b.parking.data(), a.parking.size() * sizeof(BglParking)) == 0 &&
               std::equal(a.paths.begin(), a.paths.end(), b.paths.begin(), [](const BglPath &x, const BglPath &y) {
                   return x.start == y.start && x.end == y.end && x.type == y.type && x.width == y.width;
               });
    };
    // KLAY first, KTST after it, then KLAY replaced (its first network
    // dropped from between), then deleted (its second dropped from the end).
    const char *const files[] = {"lower", "sample", "higher", "delete"};
    AirportMap map;
    for (const char *file : files) {
        BglFileContents contents;
        const BglBytes bytes = TestAirport(file);
        char why[kBglWhySize];
        ASSERT_TRUE(ReadBglAirports(bytes.data(), bytes.size(), &contents, why, sizeof why)) << file << ": " << why;
        map.AddFile(file, 1, contents, &quiet);
        std::vector<std::pair<std::string, AirportMap::View>> before;
        std::vector<std::string> fileOf;  // the view's own pointers are the map's
        for (const std::string &ident : map.Idents()) {
            AirportMap::View view;
            ASSERT_TRUE(map.Find(ident.c_str(), &view));
            before.push_back(std::make_pair(ident, view));
            fileOf.push_back(view.file);
        }
        map.Compact();
        EXPECT_EQ(before.size(), map.AirportCount()) << "after " << file;
        for (size_t i = 0; i < before.size(); ++i) {
            const auto &kept = before[i];
            AirportMap::View view;
            ASSERT_TRUE(map.Find(kept.first.c_str(), &view)) << kept.first << " lost after " << file;
            EXPECT_TRUE(same(kept.second, view)) << kept.first << "'s network changed by Compact after " << file;
            EXPECT_EQ(fileOf[i], view.file) << kept.first << " after " << file;
        }
    }
    AirportMap::View view;
    EXPECT_FALSE(map.Find("KLAY", &view)) << "the delete record's airport";
    EXPECT_TRUE(map.Find("KTST", &view));
}

}  // namespace
