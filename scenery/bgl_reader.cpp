#include "bgl_reader.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "little_endian.h"
#include "map_protocol.h"

namespace {

const uint32_t kHeaderMagic = 0x19920201;
const size_t kHeaderSize = 0x38;
const size_t kSectionEntrySize = 20;
const uint32_t kAirportSection = 0x03;

const uint16_t kFsxAirport = 0x003C;
const uint16_t kFs9Airport = 0x0003;
const uint16_t kP3d5Airport = 0x00AB;
const size_t kFsxAirportFixedSize = 0x38;

const uint16_t kTaxiPoints = 0x001A;
const uint16_t kTaxiPaths = 0x001C;
const uint16_t kTaxiNames = 0x001D;
const uint16_t kParking = 0x003D;
const uint16_t kDeleteAirport = 0x0033;
// Taxi records of later simulators' airports: their entries are laid out
// otherwise, so such an airport is not FSX's to read.
const uint16_t kP3d4TaxiPaths = 0x0040;
const uint16_t kP3d5TaxiPoints = 0x00AC, kP3d5Parking = 0x00AD, kP3d5TaxiPaths = 0x00AE;
const uint16_t kDeleteTaxiwaysFlag = 0x80;

const size_t kRecordHeaderSize = 6;
const size_t kTaxiPointSize = 12;
const size_t kParkingFixedSize = 36;
const size_t kTaxiPathSize = 20;
const size_t kTaxiNameSize = 8;

// Several subsections may name the same records; past this many bytes read
// for a file's records, the tables go round in circles.
const size_t kMaxReadsPerByte = 4;

// length bytes from offset lie within size, without overflowing.
bool Fits(size_t offset, size_t length, size_t size) { return offset <= size && length <= size - offset; }

void Say(char *why, size_t whySize, const char *format, ...) {
    if (why == nullptr || whySize == 0) return;
    va_list args;
    va_start(args, format);
    vsnprintf(why, whySize, format, args);
    va_end(args);
}

// Base 38 idents, shifted left 5 bits: blank 0, digits 2..11, letters 12..37.
void IdentText(uint32_t code, char *text, size_t size) {
    char reversed[8];
    int count = 0;
    uint32_t value = code >> 5;
    while (value > 0 && count < 7) {
        const uint32_t digit = value % 38;
        value /= 38;
        reversed[count++] = digit == 0   ? ' '
                            : digit < 12 ? static_cast<char>('0' + digit - 2)
                                         : static_cast<char>('A' + digit - 12);
    }
    if (value > 0) count = 0;  // more than an ident holds: not one
    size_t at = 0;
    while (count > 0 && at + 1 < size) text[at++] = reversed[--count];
    text[at] = '\0';
}

bool FloatIsSane(float value, float limit) { return value == value && value >= -limit && value <= limit; }

}  // namespace

bool BglParkingIsSane(const BglParking &spot) {
    return FloatIsSane(spot.radius, kBglMaxParkingRadius) && FloatIsSane(spot.heading, 100000.0f);
}

namespace {

class AirportParser {
public:
    AirportParser(const uint8_t *record, size_t size, BglAirport *airport, char *why, size_t whySize)
        : record_(record), size_(size), airport_(airport), why_(why), whySize_(whySize) {}

    bool Parse() {
        if (size_ < kFsxAirportFixedSize)
            return Fail("airport record of %u bytes, shorter than its fixed part", static_cast<unsigned>(size_));
        airport_->reference.lonRaw = LittleEndianU32(record_ + 0x0C);
        airport_->reference.latRaw = LittleEndianU32(record_ + 0x10);
        IdentText(LittleEndianU32(record_ + 0x28), airport_->icao, sizeof airport_->icao);
        if (airport_->icao[0] == '\0') return Fail("airport record without an ident");
        size_t at = kFsxAirportFixedSize;
        while (at < size_) {
            if (!Fits(at, kRecordHeaderSize, size_)) return Fail("subrecord header cut at offset %u", Off(at));
            const uint16_t id = LittleEndianU16(record_ + at);
            const uint32_t length = LittleEndianU32(record_ + at + 2);
            if (length < kRecordHeaderSize || !Fits(at, length, size_))
                return Fail("subrecord 0x%04X at offset %u claims %u bytes", id, Off(at), length);
            if (!Subrecord(id, record_ + at, length)) return false;
            at += length;
        }
        return CheckPaths();
    }

private:
    unsigned Off(size_t at) const { return static_cast<unsigned>(at); }

    bool Fail(const char *format, ...) {
        va_list args;
        va_start(args, format);
        if (why_ != nullptr && whySize_ > 0) vsnprintf(why_, whySize_, format, args);
        va_end(args);
        return false;
    }

    // The count WORD after the header, checked against the room the entries need.
    bool Count(const uint8_t *sub, size_t length, size_t entrySize, const char *what, size_t *count) {
        if (length < kRecordHeaderSize + 2) return Fail("%s subrecord of %u bytes has no count", what, Off(length));
        *count = LittleEndianU16(sub + kRecordHeaderSize);
        if (*count * entrySize > length - kRecordHeaderSize - 2)
            return Fail("%s count %u needs more than the subrecord's %u bytes", what, static_cast<unsigned>(*count),
                        Off(length));
        return true;
    }

    bool Subrecord(uint16_t id, const uint8_t *sub, size_t length) {
        size_t count = 0;
        const uint8_t *entry = sub + kRecordHeaderSize + 2;
        switch (id) {
        case kTaxiPoints:
            if (seenPoints_) return true;  // the first one is the network's
            seenPoints_ = true;
            if (!Count(sub, length, kTaxiPointSize, "taxi point", &count)) return false;
            airport_->points.resize(count);
            for (size_t i = 0; i < count; ++i, entry += kTaxiPointSize) {
                airport_->points[i].type = entry[0];
                airport_->points[i].at = {LittleEndianU32(entry + 4), LittleEndianU32(entry + 8)};
            }
            return true;
        case kParking: {
            if (seenParking_) return true;
            seenParking_ = true;
            if (!Count(sub, length, kParkingFixedSize, "parking", &count)) return false;
            airport_->parking.resize(count);
            const uint8_t *end = sub + length;
            for (size_t i = 0; i < count; ++i) {
                if (static_cast<size_t>(end - entry) < kParkingFixedSize)
                    return Fail("parking spot %u of %u runs past its subrecord", Off(i), Off(count));
                BglParking &spot = airport_->parking[i];
                spot.flags = LittleEndianU32(entry);
                spot.radius = LittleEndianF32(entry + 4);
                spot.heading = LittleEndianF32(entry + 8);
                spot.at = {LittleEndianU32(entry + 28), LittleEndianU32(entry + 32)};
                if (!BglParkingIsSane(spot)) return Fail("parking spot %u has radius or heading out of range", Off(i));
                const size_t airlines = spot.flags >> 24;
                const size_t whole = kParkingFixedSize + 4 * airlines;
                if (static_cast<size_t>(end - entry) < whole)
                    return Fail("parking spot %u lists %u airline codes past its subrecord", Off(i), Off(airlines));
                entry += whole;
            }
            return true;
        }
        case kTaxiPaths:
            if (seenPaths_) return true;
            seenPaths_ = true;
            if (!Count(sub, length, kTaxiPathSize, "taxi path", &count)) return false;
            airport_->paths.reserve(count);
            for (size_t i = 0; i < count; ++i, entry += kTaxiPathSize) {
                BglPath path;
                path.start = LittleEndianU16(entry);
                path.end = LittleEndianU16(entry + 2) & 0x0FFF;
                path.designator = static_cast<uint8_t>(LittleEndianU16(entry + 2) >> 12);
                path.type = entry[4] & 0x0F;
                path.name = entry[5];
                path.width = LittleEndianF32(entry + 8);
                if (!FloatIsSane(path.width, 10000.0f)) return Fail("taxi path %u has width out of range", Off(i));
                // Types of later simulators mean nothing here; the rest of the
                // network still does.
                if (path.type >= MAP_PATH_TAXI && path.type <= MAP_PATH_VEHICLE) airport_->paths.push_back(path);
            }
            return true;
        case kTaxiNames:
            if (seenNames_) return true;
            seenNames_ = true;
            if (!Count(sub, length, kTaxiNameSize, "taxi name", &count)) return false;
            airport_->names.resize(count);
            for (size_t i = 0; i < count; ++i, entry += kTaxiNameSize) {
                memcpy(airport_->names[i].text, entry, kTaxiNameSize);
                airport_->names[i].text[kTaxiNameSize] = '\0';
            }
            return true;
        case kDeleteAirport:
            if (length < kRecordHeaderSize + 2) return Fail("delete record of %u bytes has no flags", Off(length));
            if (LittleEndianU16(sub + kRecordHeaderSize) & kDeleteTaxiwaysFlag) airport_->deletesTaxiways = true;
            return true;
        case kP3d4TaxiPaths:
        case kP3d5TaxiPoints:
        case kP3d5Parking:
        case kP3d5TaxiPaths:
            return Fail("a Prepar3D v%d taxi record (0x%04X), not read by FSX", id == kP3d4TaxiPaths ? 4 : 5, id);
        default:
            return true;  // runways, starts, aprons ...: not the taxi network
        }
    }

    bool CheckPaths() {
        const size_t points = airport_->points.size();
        const size_t parking = airport_->parking.size();
        for (size_t i = 0; i < airport_->paths.size(); ++i) {
            const BglPath &path = airport_->paths[i];
            const size_t endLimit = path.type == MAP_PATH_PARKING ? parking : points;
            if (path.start >= points || path.end >= endLimit)
                return Fail("taxi path %u joins %u and %u, beyond %u points and %u parking spots", Off(i), path.start,
                            path.end, Off(points), Off(parking));
        }
        return true;
    }

    const uint8_t *record_;
    size_t size_;
    BglAirport *airport_;
    char *why_;
    size_t whySize_;
    bool seenPoints_ = false, seenParking_ = false, seenPaths_ = false, seenNames_ = false;
};

void AddSkip(BglFileContents *contents, const char *icao, const char *why) {
    BglSkip skip;
    snprintf(skip.icao, sizeof skip.icao, "%s", icao);
    snprintf(skip.why, sizeof skip.why, "%s", why);
    contents->skippedAirports.push_back(skip);
}

// The airport records of one subsection.
bool ReadRecords(const uint8_t *data, size_t size, size_t first, size_t length, size_t records,
                 BglFileContents *contents, char *why, size_t whySize) {
    if (!Fits(first, length, size)) {
        Say(why, whySize, "airport records at offset %u (%u bytes) lie outside the file's %u bytes",
            static_cast<unsigned>(first), static_cast<unsigned>(length), static_cast<unsigned>(size));
        return false;
    }
    const uint8_t *base = data + first;
    size_t at = 0;
    for (size_t n = 0; n < records && at < length; ++n) {
        if (!Fits(at, kRecordHeaderSize, length)) {
            Say(why, whySize, "airport record header cut at offset %u", static_cast<unsigned>(first + at));
            return false;
        }
        const uint16_t id = LittleEndianU16(base + at);
        const uint32_t recordSize = LittleEndianU32(base + at + 2);
        if (recordSize < kRecordHeaderSize || !Fits(at, recordSize, length)) {
            Say(why, whySize, "record 0x%04X at offset %u claims %u bytes", id, static_cast<unsigned>(first + at),
                recordSize);
            return false;
        }
        const uint8_t *record = base + at;
        at += recordSize;
        if (id == kP3d5Airport || id == kFs9Airport) {
            char icao[8] = "";
            if (recordSize >= 0x2C) IdentText(LittleEndianU32(record + 0x28), icao, sizeof icao);
            AddSkip(contents, icao,
                    id == kP3d5Airport ? "a Prepar3D v5 airport record (0x00AB), not read by FSX"
                                       : "an FS9 airport record (0x0003), not read");
            continue;
        }
        if (id != kFsxAirport) continue;
        BglAirport airport;
        airport.icao[0] = '\0';
        airport.deletesTaxiways = false;
        char airportWhy[kBglWhySize];
        AirportParser parser(record, recordSize, &airport, airportWhy, sizeof airportWhy);
        if (!parser.Parse()) {
            AddSkip(contents, airport.icao, airportWhy);
            continue;
        }
        contents->airports.push_back(static_cast<BglAirport &&>(airport));
    }
    return true;
}

}  // namespace

double RawLongitude(uint32_t raw) { return raw * (360.0 / (3.0 * 268435456.0)) - 180.0; }
double RawLatitude(uint32_t raw) { return 90.0 - raw * (180.0 / (2.0 * 268435456.0)); }

const char *ParkingNameText(uint32_t nameCode) {
    static const char *const kNames[] = {"NONE",      "PARKING",    "N_PARKING", "NE_PARKING",
                                         "E_PARKING", "SE_PARKING", "S_PARKING", "SW_PARKING",
                                         "W_PARKING", "NW_PARKING", "GATE",      "DOCK"};
    static const char *const kGates[] = {"GATE_A", "GATE_B", "GATE_C", "GATE_D", "GATE_E", "GATE_F", "GATE_G",
                                         "GATE_H", "GATE_I", "GATE_J", "GATE_K", "GATE_L", "GATE_M", "GATE_N",
                                         "GATE_O", "GATE_P", "GATE_Q", "GATE_R", "GATE_S", "GATE_T", "GATE_U",
                                         "GATE_V", "GATE_W", "GATE_X", "GATE_Y", "GATE_Z"};
    const uint32_t nameCount = sizeof kNames / sizeof kNames[0];
    if (nameCode < nameCount) return kNames[nameCode];
    if (nameCode - nameCount < sizeof kGates / sizeof kGates[0]) return kGates[nameCode - nameCount];
    return "UNKNOWN";
}

void RunwayName(uint8_t number, uint8_t designator, char *text, size_t size) {
    static const char *const kDesignators[] = {"", "L", "R", "C", "W", "A", "B"};
    static const char *const kCompass[] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
    if (number >= 37 && number <= 44) {
        snprintf(text, size, "%s", kCompass[number - 37]);
        return;
    }
    snprintf(text, size, "%02u%s", number, designator < 7 ? kDesignators[designator] : "");
}

size_t BglSectionTableEnd(const uint8_t *data, size_t size) {
    if (size < kHeaderSize || LittleEndianU32(data) != kHeaderMagic || LittleEndianU32(data + 4) != kHeaderSize)
        return 0;
    const uint32_t sections = LittleEndianU32(data + 0x14);
    if (sections > (SIZE_MAX - kHeaderSize) / kSectionEntrySize) return 0;
    return kHeaderSize + sections * kSectionEntrySize;
}

bool BglHasAirports(const uint8_t *data, size_t size) {
    const size_t end = BglSectionTableEnd(data, size);
    if (end == 0 || end > size) return false;
    for (size_t at = kHeaderSize; at < end; at += kSectionEntrySize)
        if (LittleEndianU32(data + at) == kAirportSection) return true;
    return false;
}

bool ReadBglAirports(const uint8_t *data, size_t size, BglFileContents *contents, char *why, size_t whySize) {
    contents->airports.clear();
    contents->skippedAirports.clear();
    Say(why, whySize, "%s", "");
    if (size < kHeaderSize || LittleEndianU32(data) != kHeaderMagic || LittleEndianU32(data + 4) != kHeaderSize) {
        Say(why, whySize, "no BGL header (%u bytes)", static_cast<unsigned>(size));
        return false;
    }
    const size_t tableEnd = BglSectionTableEnd(data, size);
    if (tableEnd == 0 || tableEnd > size) {
        Say(why, whySize, "its %u sections do not fit in its %u bytes", LittleEndianU32(data + 0x14),
            static_cast<unsigned>(size));
        return false;
    }
    size_t bytesRead = 0;
    bool whole = true;
    for (size_t at = kHeaderSize; at < tableEnd && whole; at += kSectionEntrySize) {
        const uint8_t *section = data + at;
        if (LittleEndianU32(section) != kAirportSection) continue;
        const size_t entrySize = ((LittleEndianU32(section + 4) & 0x10000) | 0x40000) >> 14;
        const size_t subsections = LittleEndianU32(section + 8);
        const size_t tableAt = LittleEndianU32(section + 12);
        if (subsections > size / entrySize || !Fits(tableAt, subsections * entrySize, size)) {
            Say(why, whySize, "airport section's %u subsections at offset %u lie outside the file",
                static_cast<unsigned>(subsections), static_cast<unsigned>(tableAt));
            whole = false;
            break;
        }
        for (size_t s = 0; s < subsections && whole; ++s) {
            const uint8_t *entry = data + tableAt + s * entrySize;
            const size_t records = LittleEndianU32(entry + 4);
            const size_t first = LittleEndianU32(entry + 8);
            const size_t length = LittleEndianU32(entry + 12);
            bytesRead += length;
            if (bytesRead > kMaxReadsPerByte * size) {
                Say(why, whySize, "its subsections name the same records over and over");
                whole = false;
            } else {
                whole = ReadRecords(data, size, first, length, records, contents, why, whySize);
            }
        }
    }
    if (!whole) {
        contents->airports.clear();
        contents->skippedAirports.clear();
    }
    return whole;
}
