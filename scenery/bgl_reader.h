// Airports out of one FSX BGL file held in memory. Scenery libraries hold
// thousands of files from hundreds of authors and tools, so a damaged file is
// an everyday file: every offset, size and count is checked against the bytes
// at hand, and a file (or one airport in it) that does not add up is skipped
// with the reason, never read past.
#ifndef DROVANA_SCENERY_BGL_READER_H
#define DROVANA_SCENERY_BGL_READER_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

// Positions stay in the file's own encoding (a few centimetres a unit), which
// keeps a point at 8 bytes; RawLatitude and RawLongitude give degrees.
struct BglPoint {
    uint32_t lonRaw, latRaw;
};

double RawLongitude(uint32_t raw);
double RawLatitude(uint32_t raw);

struct BglTaxiPoint {
    BglPoint at;
    uint8_t type;  // 1 normal, 2 hold short, 4..6 ILS and other holds
};

struct BglParking {
    BglPoint at;
    uint32_t flags;  // name, pushback side, type, number, airline code count
    float radius;    // metres
    float heading;   // degrees true
};

// The largest parking radius the reader takes; a spot of a larger one, or of
// a heading no tool writes, is a damaged record.
const float kBglMaxParkingRadius = 10000.0f;
bool BglParkingIsSane(const BglParking &spot);

// The parts of a parking spot's flags.
inline uint32_t ParkingNameCode(uint32_t flags) { return flags & 0x3F; }
inline uint32_t ParkingPushSide(uint32_t flags) { return (flags >> 6) & 0x3; }
inline uint32_t ParkingTypeCode(uint32_t flags) { return (flags >> 8) & 0xF; }
inline uint32_t ParkingNumber(uint32_t flags) { return (flags >> 12) & 0xFFF; }
// Fuel trucks and tugs park there, no aircraft.
inline bool IsVehicleParking(uint32_t flags) { return ParkingTypeCode(flags) == 13; }
// "GATE_A", "PARKING", "NONE" ...; "UNKNOWN" for codes FSX does not name.
const char *ParkingNameText(uint32_t nameCode);

struct BglPath {
    uint16_t start;      // a taxi point
    uint16_t end;        // a taxi point, or a parking spot for parking paths
    uint8_t type;        // MapPathType
    uint8_t name;        // index into the taxi names; the runway number for runway paths
    uint8_t designator;  // runway paths: 0 none, 1 L, 2 R, 3 C, 4 W, 5 A, 6 B
    float width;         // metres
};

// "09", "27L", or for the compass runways of seaplane bases (numbers 37 to
// 44) "N" to "NW".
void RunwayName(uint8_t number, uint8_t designator, char *text, size_t size);

struct BglTaxiName {
    char text[9];  // NUL-terminated
};

struct BglAirport {
    char icao[8];
    BglPoint reference;
    bool deletesTaxiways;  // a delete record removes lower layers' taxi networks
    std::vector<BglTaxiPoint> points;
    std::vector<BglParking> parking;
    std::vector<BglPath> paths;
    std::vector<BglTaxiName> names;

    bool HasTaxiNetwork() const { return !paths.empty() || !parking.empty(); }
};

const size_t kBglWhySize = 160;

struct BglSkip {
    char icao[8];  // the airport skipped, empty when it is unknown
    char why[kBglWhySize];
};

struct BglFileContents {
    std::vector<BglAirport> airports;
    std::vector<BglSkip> skippedAirports;  // the rest of the file was read
};

// The size of the file's start that tells whether it holds airports at all:
// the header and its section table. 0 when the header is no BGL header.
size_t BglSectionTableEnd(const uint8_t *data, size_t size);
// True when the section table (which must lie in data) lists an airport section.
bool BglHasAirports(const uint8_t *data, size_t size);

// Reads every airport record of the file. False when the file itself is
// damaged (why says how; contents is then empty); a damaged or foreign
// airport record only adds to skippedAirports.
bool ReadBglAirports(const uint8_t *data, size_t size, BglFileContents *contents, char *why, size_t whySize);

#endif
