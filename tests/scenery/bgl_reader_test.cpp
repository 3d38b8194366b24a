// The reader over files the writer made, whole and with one known fault each.
#include <gtest/gtest.h>
#include <string.h>

#include <functional>

#include "airport_map.h"
#include "bgl_reader.h"
#include "scenery_files.h"

namespace {

const uint16_t kTaxiPoints = 0x1A, kTaxiPaths = 0x1C, kParking = 0x3D;

bool Read(const BglBytes &bytes, BglFileContents *contents, std::string *why) {
    char text[kBglWhySize];
    const bool ok = ReadBglAirports(bytes.data(), bytes.size(), contents, text, sizeof text);
    *why = text;
    return ok;
}

TEST(BglReader, ReadsStandsPathsAndNamesAsWritten) {
    const BglBytes bytes = TestAirport("sample");
    ASSERT_FALSE(bytes.empty()) << TestAirportPath("sample");
    BglFileContents contents;
    std::string why;
    ASSERT_TRUE(Read(bytes, &contents, &why)) << why;
    ASSERT_EQ(2u, contents.airports.size());
    EXPECT_TRUE(contents.skippedAirports.empty());
    const BglAirport &a = contents.airports[0];
    EXPECT_STREQ("KTST", a.icao);
    EXPECT_STREQ("X9", contents.airports[1].icao);
    EXPECT_NEAR(47.5, RawLatitude(a.reference.latRaw), 1e-6);
    EXPECT_NEAR(-122.3, RawLongitude(a.reference.lonRaw), 1e-6);

    struct Spot {
        const char *name;
        uint32_t number;
        float heading, radius;
        uint32_t push;
        double east, north;
    };
    const Spot spots[] = {{"GATE_A", 12, 180, 25, MAP_PUSH_RIGHT, 0, 0},
                          {"GATE_B", 7, 180, 25, MAP_PUSH_BOTH, 100, 0},
                          {"PARKING", 3, 90, 10, MAP_PUSH_NONE, -150, -20}};
    ASSERT_EQ(3u, a.parking.size());
    for (size_t i = 0; i < 3; ++i) {
        const BglParking &p = a.parking[i];
        EXPECT_STREQ(spots[i].name, ParkingNameText(ParkingNameCode(p.flags))) << i;
        EXPECT_EQ(spots[i].number, ParkingNumber(p.flags)) << i;
        EXPECT_EQ(spots[i].heading, p.heading) << i;
        EXPECT_EQ(spots[i].radius, p.radius) << i;
        EXPECT_EQ(spots[i].push, ParkingPushSide(p.flags)) << i;
        // Metres from the reference as the add-on measures them, to a decimetre.
        const double lat = RawLatitude(p.at.latRaw), lon = RawLongitude(p.at.lonRaw);
        EXPECT_NEAR(spots[i].north, NearbyMetres(47.5, lon, lat, lon) * (lat < 47.5 ? -1 : 1), 0.1) << i;
        EXPECT_NEAR(spots[i].east, NearbyMetres(47.5, -122.3, 47.5, lon) * (lon < -122.3 ? -1 : 1), 0.1) << i;
    }
    ASSERT_EQ(5u, a.points.size());
    EXPECT_EQ(2, a.points[2].type) << "T3 is a hold-short point";
    // Types in the order written; parking paths end at a spot, the rest at a point.
    const uint8_t types[] = {3, 3, 1, 1, 4, 2, 6, 5};
    ASSERT_EQ(8u, a.paths.size());
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(types[i], a.paths[i].type) << "path " << i;
    EXPECT_EQ(1, a.paths[1].end) << "the second parking path ends at the second spot";
    EXPECT_EQ(16, a.paths[5].name) << "a runway path carries its number";
    EXPECT_EQ(1, a.paths[5].designator) << "16L";
    EXPECT_EQ(23.0f, a.paths[2].width);
    ASSERT_EQ(4u, a.names.size());
    EXPECT_STREQ("A", a.names[a.paths[2].name].text);
    EXPECT_STREQ("C", a.names[a.paths[7].name].text);
    EXPECT_FALSE(a.deletesTaxiways);

    BglFileContents deleting;
    ASSERT_TRUE(Read(TestAirport("delete"), &deleting, &why)) << why;
    ASSERT_EQ(1u, deleting.airports.size());
    EXPECT_TRUE(deleting.airports[0].deletesTaxiways);
    EXPECT_FALSE(deleting.airports[0].HasTaxiNetwork());
}

// One fault each in the sample; the outcome: the file skipped, or one airport
// of it skipped and the other read, with the reason naming the fault.
struct Fault {
    const char *name;
    std::function<void(BglBytes *)> damage;
    bool fileRead;
    size_t airportsLeft;
    const char *why;  // part of the reason given
};

size_t Airport(const BglBytes &b) { return FirstAirportRecord(b); }

const Fault kFaults[] = {
    {"cut inside the header", [](BglBytes *b) { b->resize(0x30); }, false, 0, "no BGL header"},
    {"cut inside the records", [](BglBytes *b) { b->resize(b->size() - 30); }, false, 0, "outside the file"},
    {"section count past the end", [](BglBytes *b) { WriteU32(b, 0x14, 100000); }, false, 0, "do not fit"},
    {"subsection table past the end", [](BglBytes *b) { WriteU32(b, 0x38 + 12, 0xFFFFFFF0u); }, false, 0,
     "lie outside"},
    {"subsection count huge", [](BglBytes *b) { WriteU32(b, 0x38 + 8, 0x10000000u); }, false, 0, "lie outside"},
    {"airport record size 0", [](BglBytes *b) { WriteU32(b, Airport(*b) + 2, 0); }, false, 0, "claims 0 bytes"},
    {"airport record size past its subsection", [](BglBytes *b) { WriteU32(b, Airport(*b) + 2, 0x7FFFFFFF); }, false, 0,
     "claims"},
    {"taxi path count larger than its subrecord",
     [](BglBytes *b) { WriteU16(b, SubrecordOf(*b, Airport(*b), kTaxiPaths) + 6, 60000); }, true, 1,
     "taxi path count 60000"},
    {"taxi point subrecord of size 0",
     [](BglBytes *b) { WriteU32(b, SubrecordOf(*b, Airport(*b), kTaxiPoints) + 2, 0); }, true, 1, "claims 0 bytes"},
    {"path start past the points", [](BglBytes *b) { WriteU16(b, SubrecordOf(*b, Airport(*b), kTaxiPaths) + 8, 999); },
     true, 1, "beyond 5 points"},
    {"parking path end past the spots",
     [](BglBytes *b) { WriteU16(b, SubrecordOf(*b, Airport(*b), kTaxiPaths) + 8 + 2, 3); }, true, 1,
     "beyond 5 points and 3 parking"},
    {"parking spot listing airline codes past its subrecord",
     [](BglBytes *b) { (*b)[SubrecordOf(*b, Airport(*b), kParking) + 8 + 3] = 200; }, true, 1, "airline codes"},
    {"parking radius not a number",
     [](BglBytes *b) { WriteU32(b, SubrecordOf(*b, Airport(*b), kParking) + 8 + 4, 0x7FC00000u); }, true, 1, "radius"},
    {"a Prepar3D v5 airport record", [](BglBytes *b) { WriteU16(b, Airport(*b), 0x00AB); }, true, 1, "Prepar3D v5"},
    {"Prepar3D v5 taxi points in an FSX airport record",
     [](BglBytes *b) { WriteU16(b, SubrecordOf(*b, Airport(*b), kTaxiPoints), 0x00AC); }, true, 1, "Prepar3D v5 taxi"},
    {"an FS9 airport record", [](BglBytes *b) { WriteU16(b, Airport(*b), 0x0003); }, true, 1, "FS9"},
    {"an airport without ident", [](BglBytes *b) { WriteU32(b, Airport(*b) + 0x28, 0); }, true, 1, "without an ident"},
};

TEST(BglReader, EachFaultSkipsTheFileOrTheAirportWithItsReason) {
    const BglBytes sample = TestAirport("sample");
    ASSERT_FALSE(sample.empty());
    for (const Fault &fault : kFaults) {
        BglBytes bytes = sample;
        fault.damage(&bytes);
        BglFileContents contents;
        std::string why;
        const bool read = Read(bytes, &contents, &why);
        EXPECT_EQ(fault.fileRead, read) << fault.name << ": " << why;
        EXPECT_EQ(fault.airportsLeft, contents.airports.size()) << fault.name;
        if (fault.fileRead) {
            ASSERT_EQ(1u, contents.skippedAirports.size()) << fault.name;
            why = contents.skippedAirports[0].why;
            EXPECT_STREQ("X9", contents.airports[0].icao) << fault.name;
        }
        EXPECT_NE(std::string::npos, why.find(fault.why)) << fault.name << ": " << why;
    }
}

TEST(BglReader, PathsOfTypesFsxDoesNotKnowAreLeftOutNotTheAirport) {
    BglBytes bytes = TestAirport("sample");
    ASSERT_FALSE(bytes.empty());
    const size_t paths = SubrecordOf(bytes, FirstAirportRecord(bytes), kTaxiPaths);
    bytes[paths + 8 + 4] = 0x69;  // the first path: type 9, drawn
    BglFileContents contents;
    std::string why;
    ASSERT_TRUE(Read(bytes, &contents, &why)) << why;
    ASSERT_EQ(2u, contents.airports.size());
    EXPECT_EQ(7u, contents.airports[0].paths.size());
}

}  // namespace
