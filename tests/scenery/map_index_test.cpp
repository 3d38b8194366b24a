// The index of what the last start learnt of each file: it may only ever save
// work. A damaged or foreign one is dropped whole; a file whose size or time
// changed is read again.
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "library_reader.h"
#include "map_index.h"
#include "map_log.h"
#include "scenery_files.h"
#include "temp_files.h"
#include "whole_file.h"

namespace {

// The checksum the index carries, so that a variant below is wrong in one
// way only.
void Sign(BglBytes *bytes) {
    WriteU32(bytes, 16, static_cast<uint32_t>(bytes->size() - 24));
    WriteU32(bytes, 20, MapIndexChecksum(bytes->data() + 24, bytes->size() - 24));
}

struct Quiet : MapNotes {
    void Skipped(const char *, const char *, const char *) override {}
    void Library(const char *) override {}
};

// What the map takes of the test airport "lower": KLAY, 2 points, 1 spot, 2 paths, 1 name.
std::vector<uint8_t> LowerRecord() {
    BglFileContents contents;
    char why[kBglWhySize];
    ReadBglFile(TestAirportPath("lower").c_str(), &contents, why, sizeof why);
    AirportMap map;
    Quiet quiet;
    std::vector<uint8_t> taken;
    map.AddFile("lower.bgl", 1, contents, &quiet, &taken);
    return taken;
}

// The last entry keeps its airports: the record is the index's last bytes.
BglBytes ValidIndex() {
    MapIndex index;
    index.Add("C:\\FSX\\Scenery\\World\\scenery\\APX01.bgl", 120000, 0x01D0000012345678ull, true);
    index.Add("C:\\FSX\\Scenery\\World\\scenery\\OBJ01.bgl", 4096, 0x01D0000012345679ull, false);
    index.Add("D:\\Addons\\KSEA\\scenery\\AF2_KSEA.bgl", 5000, 7, LowerRecord());
    return index.Bytes();
}

// Where the record's first network lies: after its skip count (no skips),
// airport count, ident and kind. Its counts, bounds, then its arrays follow.
size_t KeptNetwork(const BglBytes &b) { return b.size() - LowerRecord().size() + 2 + 4 + 8 + 1; }
size_t KeptFirstSpot(const BglBytes &b) { return KeptNetwork(b) + 36 + ReadU32(b, KeptNetwork(b)) * 8; }
void WriteFloat(BglBytes *b, size_t at, float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    WriteU32(b, at, bits);
}
size_t KeptFirstPath(const BglBytes &b) {
    const size_t network = KeptNetwork(b);
    return network + 36 + ReadU32(b, network) * 8 + ReadU32(b, network + 4) * 20;
}

TEST(MapIndex, KeepsEachFileWithItsSizeAndTime) {
    const BglBytes bytes = ValidIndex();
    MapIndex index;
    char why[120] = "";
    ASSERT_TRUE(index.Parse(bytes.data(), bytes.size(), why, sizeof why)) << why;
    EXPECT_EQ(3u, index.Count());
    EXPECT_EQ(bytes, index.Bytes()) << "an index read and written again changed";
    bool airports = false;
    const uint8_t *taken = nullptr;
    size_t takenSize = 0;
    ASSERT_TRUE(index.Known("D:\\Addons\\KSEA\\scenery\\AF2_KSEA.bgl", 5000, 7, &airports, &taken, &takenSize));
    EXPECT_EQ(LowerRecord(), std::vector<uint8_t>(taken, taken + takenSize)) << "the kept airports changed";
    EXPECT_EQ(2u, index.Taken().points) << "the sizes the map reserves";
    EXPECT_EQ(2u, index.Taken().paths);
    EXPECT_TRUE(index.Known("C:\\FSX\\Scenery\\World\\scenery\\OBJ01.bgl", 4096, 0x01D0000012345679ull, &airports));
    EXPECT_FALSE(airports);
    EXPECT_TRUE(index.Known("D:\\Addons\\KSEA\\scenery\\AF2_KSEA.bgl", 5000, 7, &airports));
    EXPECT_TRUE(airports);
    EXPECT_FALSE(index.Known("C:\\FSX\\Scenery\\World\\scenery\\OBJ01.bgl", 4097, 0x01D0000012345679ull, &airports))
        << "a file of another size is a changed file";
    EXPECT_FALSE(index.Known("C:\\FSX\\Scenery\\World\\scenery\\OBJ01.bgl", 4096, 0x01D000001234567Aull, &airports))
        << "a file of another write time is a changed file";
    EXPECT_FALSE(index.Known("C:\\FSX\\Scenery\\World\\scenery\\OBJ02.bgl", 4096, 0x01D0000012345679ull, &airports));

    // A library whose airports outgrow the index still has them all listed:
    // the file whose record does not fit is read at each start.
    index.Add("C:\\huge.bgl", 1, 1, std::vector<uint8_t>(kMapIndexMaxBytes));
    ASSERT_TRUE(index.Known("C:\\huge.bgl", 1, 1, &airports, &taken, &takenSize));
    EXPECT_TRUE(airports);
    EXPECT_EQ(nullptr, taken) << "a record of " << kMapIndexMaxBytes << " bytes kept";
    EXPECT_LE(index.Bytes().size(), kMapIndexMaxBytes);

    // A path of MAX_PATH characters or more is not listed (its file is read
    // at each start), and the index's bytes stay an index.
    const std::string overlong = "C:\\" + std::string(MAX_PATH, 'x') + ".bgl";
    index.Add(overlong, 1, 1, false);
    EXPECT_FALSE(index.Known(overlong, 1, 1, &airports)) << "a path of " << overlong.size() << " characters listed";
    const std::vector<uint8_t> written = index.Bytes();
    MapIndex again;
    EXPECT_TRUE(again.Parse(written.data(), written.size(), why, sizeof why)) << why;
}

TEST(MapIndex, DamagedOrForeignIndexIsDroppedWhole) {
    // The first entry's path length is at 24, its path at 26; the file count at 12.
    struct Damage {
        const char *name;
        void (*apply)(BglBytes *);
    };
    const Damage damages[] = {
        {"empty", [](BglBytes *b) { b->clear(); }},
        {"the header alone", [](BglBytes *b) { b->resize(24); }},
        {"cut by one byte", [](BglBytes *b) { b->pop_back(); }},
        {"cut by one byte and signed again", [](BglBytes *b) { b->pop_back(), Sign(b); }},
        {"a byte after its end", [](BglBytes *b) { b->push_back(0); }},
        {"a byte after its end, signed again", [](BglBytes *b) { b->push_back(0), Sign(b); }},
        {"another program's file", [](BglBytes *b) { (*b)[0] = 'R'; }},
        {"the version before airports were kept", [](BglBytes *b) { WriteU32(b, 8, 1), Sign(b); }},
        {"a flipped bit in a path", [](BglBytes *b) { (*b)[30] ^= 0x04; }},
        {"a flipped bit in a size", [](BglBytes *b) { (*b)[70] ^= 0x01; }},
        {"one file more than it holds", [](BglBytes *b) { WriteU32(b, 12, 4); }},
        {"a huge file count", [](BglBytes *b) { WriteU32(b, 12, 0xFFFFFFFFu), Sign(b); }},
        {"one file fewer than it holds", [](BglBytes *b) { WriteU32(b, 12, 2), Sign(b); }},
        {"a path of no bytes", [](BglBytes *b) { WriteU16(b, 24, 0), Sign(b); }},
        {"a path past its end", [](BglBytes *b) { WriteU16(b, 24, 0xFFFF), Sign(b); }},
        {"a path with a NUL in it", [](BglBytes *b) { (*b)[30] = 0, Sign(b); }},
        {"the same path twice",
         [](BglBytes *b) {
             MapIndex twice;
             twice.Add("C:\\A.bgl", 1, 1, false);
             twice.Add("C:\\B.bgl", 1, 1, false);
             *b = twice.Bytes();
             (*b)[26 + 3] = 'B';  // the first entry now names the second's file
             Sign(b);
         }},
        {"kept airports without the file holding any",
         [](BglBytes *b) { (*b)[b->size() - LowerRecord().size() - 5] = 0x02, Sign(b); }},
        {"a record longer than the index",
         [](BglBytes *b) { WriteU32(b, b->size() - LowerRecord().size() - 4, 0x7FFFFFFF), Sign(b); }},
        {"a record cut by one byte",
         [](BglBytes *b) {
             b->pop_back(),
                 WriteU32(b, b->size() - LowerRecord().size() - 3, static_cast<uint32_t>(LowerRecord().size() - 1)),
                 Sign(b);
         }},
        {"a kept airport of no known kind", [](BglBytes *b) { (*b)[KeptNetwork(*b) - 1] = 7, Sign(b); }},
        {"a kept ident without its end", [](BglBytes *b) { memset(&(*b)[KeptNetwork(*b) - 9], 'K', 8), Sign(b); }},
        {"a kept network of more points than its bytes",
         [](BglBytes *b) { WriteU32(b, KeptNetwork(*b), 0x20000000), Sign(b); }},
        {"a kept network of a huge name count",
         [](BglBytes *b) { WriteU32(b, KeptNetwork(*b) + 12, 0xFFFFFFFFu), Sign(b); }},
        {"a kept path from a point it lacks", [](BglBytes *b) { WriteU16(b, KeptFirstPath(*b), 2), Sign(b); }},
        {"a kept path to a point it lacks", [](BglBytes *b) { WriteU16(b, KeptFirstPath(*b) + 10, 2), Sign(b); }},
        // The network's bounds at +16 (south, north, west, east) and its reach at +32: an answer
        // measures from them and wraps longitudes, so none may be what no file gives.
        {"a kept east bound of minus infinity",
         [](BglBytes *b) { WriteFloat(b, KeptNetwork(*b) + 28, -INFINITY), Sign(b); }},
        {"a kept east bound of -1e30", [](BglBytes *b) { WriteFloat(b, KeptNetwork(*b) + 28, -1e30f), Sign(b); }},
        {"a kept south bound north of its north bound",
         [](BglBytes *b) { WriteFloat(b, KeptNetwork(*b) + 16, 45.0f), Sign(b); }},
        {"a kept reach that is no number", [](BglBytes *b) { WriteFloat(b, KeptNetwork(*b) + 32, NAN), Sign(b); }},
        {"a kept reach under 300 m", [](BglBytes *b) { WriteFloat(b, KeptNetwork(*b) + 32, 10.0f), Sign(b); }},
        {"a kept spot of an infinite radius",
         [](BglBytes *b) { WriteFloat(b, KeptFirstSpot(*b) + 12, INFINITY), Sign(b); }},
        {"a kept path of no type", [](BglBytes *b) { (*b)[KeptFirstPath(*b) + 4] = 0, Sign(b); }},
        {"a kept taxi name without its end", [](BglBytes *b) { (*b)[b->size() - 1] = 'X', Sign(b); }},
        {"random bytes",
         [](BglBytes *b) {
             for (size_t i = 0; i < b->size(); ++i) (*b)[i] = static_cast<uint8_t>(i * 151 + 7);
         }},
    };
    for (const Damage &damage : damages) {
        BglBytes bytes = ValidIndex();
        damage.apply(&bytes);
        MapIndex index;
        index.Add("C:\\stale.bgl", 1, 1, false);  // what a reused index held before
        char why[120] = "";
        EXPECT_FALSE(index.Parse(bytes.data(), bytes.size(), why, sizeof why)) << damage.name;
        EXPECT_EQ(0u, index.Count()) << damage.name << ": part of a damaged index kept";
        EXPECT_NE('\0', why[0]) << damage.name << ": dropped without a reason";
    }
}

// Save streams the index in 64 KB pieces and sums it as it goes: records
// across those pieces, at every offset a word may start, must come out as
// the bytes Bytes() gives and load again.
TEST(MapIndex, SavedIndexIsItsBytesAndLoadsAgain) {
    BglFileContents sample;
    char why[120] = "";
    ASSERT_TRUE(ReadBglFile(TestAirportPath("sample").c_str(), &sample, why, sizeof why)) << why;
    MapIndex index;
    for (int file = 0; file < 7; ++file) {
        BglFileContents contents;
        for (int copy = 0; copy < 40 * file + 1; ++copy)
            contents.airports.insert(contents.airports.end(), sample.airports.begin(), sample.airports.end());
        AirportMap map;
        Quiet quiet;
        std::vector<uint8_t> taken;
        map.AddFile("sample.bgl", 1, contents, &quiet, &taken);
        index.Add(std::string("C:\\Scenery\\") + std::string(file + 1, 'a') + ".bgl", file, file, std::move(taken));
        index.Add(std::string("C:\\Scenery\\") + std::string(file + 1, 'b') + ".bgl", file, file, false);
    }
    const BglBytes bytes = index.Bytes();
    ASSERT_GT(bytes.size(), 3u << 16) << "the records do not span several pieces";
    TempFolder folder;
    const std::string path = folder.File(kMapIndexName);
    ASSERT_TRUE(index.Save(path.c_str()));
    std::vector<uint8_t> saved;
    ASSERT_TRUE(ReadWholeFile(path.c_str(), kMapIndexMaxBytes, &saved));
    EXPECT_TRUE(saved == bytes) << "saved " << saved.size() << " bytes, " << bytes.size() << " expected";
    MapIndex loaded;
    EXPECT_TRUE(loaded.Load(path.c_str(), why, sizeof why)) << why;
    EXPECT_EQ(14u, loaded.Count());
    EXPECT_TRUE(loaded.SameAs(index));
}

// What the reading said, to look into.
struct Notes : MapNotes {
    std::string all;
    void Skipped(const char *file, const char *, const char *why) override {
        all += std::string("skipped ") + file + ": " + why + "\n";
    }
    void Library(const char *text) override { all += std::string(text) + "\n"; }
};

// One start of the map program over the folder: the taxiway it finds at
// KLAY's gate (the test airports name one), "" when none.
std::string StartAtKlay(const TempFolder &sim, Notes *notes) {
    const std::string cfg = sim.File("Scenery.CFG");
    AirportMap map;
    ReadFirstSceneryCfg(sim.Path().c_str(), &cfg, 1, &map, notes, nullptr);
    MapAnswerHeader header = {};
    MapPath paths[8];
    const uint32_t count = map.Answer(40.0, -75.0, &header, paths, 8);
    for (uint32_t i = 0; i < count; ++i)
        if (paths[i].name[0] != '\0') return paths[i].name;
    return "";
}

TEST(MapIndex, StartsSkipUnchangedFilesAndNoticeChangedOnes) {
    TempFolder sim;
    ASSERT_TRUE(CreateDirectoryA(sim.File("DrovanaX").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(sim.File("Area").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(sim.File("Area\\scenery").c_str(), nullptr));
    BglBytes cfg;
    const std::string cfgText = "[Area.001]\r\nLocal=Area\r\nLayer=1\r\nActive=TRUE\r\n";
    cfg.assign(cfgText.begin(), cfgText.end());
    ASSERT_TRUE(WriteBytes(sim.File("Scenery.CFG"), cfg));
    const std::string airports = sim.File("Area\\scenery\\airports.bgl");
    const std::string terrain = sim.File("Area\\scenery\\terrain.bgl");
    const std::string damaged = sim.File("Area\\scenery\\damaged.bgl");
    ASSERT_TRUE(WriteBytes(airports, TestAirport("lower")));
    BglBytes oneSkipped = TestAirport("sample");  // its first airport skipped, with a reason
    WriteU16(&oneSkipped, SubrecordOf(oneSkipped, FirstAirportRecord(oneSkipped), 0x1C) + 6, 60000);
    ASSERT_TRUE(WriteBytes(damaged, oneSkipped));
    BglBytes noAirports = TestAirport("lower");
    WriteU32(&noAirports, 0x38, 0x65);  // its one section is terrain now
    ASSERT_TRUE(WriteBytes(terrain, noAirports));
    const std::string indexPath = sim.File("DrovanaX\\") + kMapIndexName;

    Notes first;
    EXPECT_EQ("LOW", StartAtKlay(sim, &first)) << first.all;
    EXPECT_NE(std::string::npos, first.all.find("not used")) << "a start without an index says so\n" << first.all;
    MapIndex written;
    char why[120] = "";
    ASSERT_TRUE(written.Load(indexPath.c_str(), why, sizeof why)) << "the first start writes the index: " << why;
    EXPECT_EQ(3u, written.Count());

    // Held open without sharing: a start that opened them would say it could
    // not, and the airports come from the index.
    HANDLE locked[3];
    for (int i = 0; i < 3; ++i) {
        locked[i] = CreateFileA((i == 0   ? terrain
                                 : i == 1 ? airports
                                          : damaged)
                                    .c_str(),
                                GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, locked[i]);
    }
    Notes second;
    EXPECT_EQ("LOW", StartAtKlay(sim, &second));
    EXPECT_EQ(std::string::npos, second.all.find("cannot be opened")) << "an unchanged file was opened\n" << second.all;
    EXPECT_NE(std::string::npos, second.all.find("damaged.bgl: taxi path count 60000"))
        << "a kept file's skipped airport is not in the log again\n"
        << second.all;
    for (HANDLE file : locked) CloseHandle(file);

    // A scenery tool rewrites the airport file: a new size and time.
    ASSERT_TRUE(WriteBytes(airports, TestAirport("higher")));
    Notes third;
    EXPECT_EQ("HIGH", StartAtKlay(sim, &third)) << "the changed file was not read again\n" << third.all;

    const char *foreign = "DXMAPIDX but not an index";
    ASSERT_TRUE(WriteBytes(indexPath, BglBytes(foreign, foreign + strlen(foreign))));
    Notes fourth;
    EXPECT_EQ("HIGH", StartAtKlay(sim, &fourth));
    EXPECT_NE(std::string::npos, fourth.all.find("not used")) << fourth.all;
    EXPECT_TRUE(written.Load(indexPath.c_str(), why, sizeof why)) << "a damaged index is written anew: " << why;

    // A start ended midway (the program closed) leaves the index it found.
    std::vector<uint8_t> before, after;
    ASSERT_TRUE(ReadWholeFile(indexPath.c_str(), kMapIndexMaxBytes, &before));
    ASSERT_TRUE(WriteBytes(airports, TestAirport("lower")));
    volatile LONG stop = 1;
    AirportMap stopped;
    Notes fifth;
    const std::string cfgPath = sim.File("Scenery.CFG");
    ReadFirstSceneryCfg(sim.Path().c_str(), &cfgPath, 1, &stopped, &fifth, &stop);
    ASSERT_TRUE(ReadWholeFile(indexPath.c_str(), kMapIndexMaxBytes, &after));
    EXPECT_EQ(before, after) << "a stopped start rewrote the index";
}

}  // namespace
