// What the map took of one file, as the index keeps it between starts. The
// record is the map's own encoding, copied in and out whole, so that adding
// an unchanged file costs about as much as copying its networks:
//   u16 skipped airports, each: icao[8], u8 length, the reason's text
//   u32 airports, each: icao[8], u8 kind, and for a network its counts and
//       bounds (TakenNetwork), then its points, parking, paths and names.
// Both builds are little-endian; the sizes below are what the index holds.
#include "airport_map.h"

#include <string.h>

#include <algorithm>
#include <type_traits>

namespace {

const uint8_t kTakenNetwork = 1;
const uint8_t kTakenDeletes = 2;
const size_t kIcaoBytes = 8;

// Reads size bytes at *at from a record of end bytes, moving on; false when
// they are not all there.
bool Take(const uint8_t *taken, size_t end, size_t *at, void *to, size_t size) {
    if (end - *at < size) return false;
    memcpy(to, taken + *at, size);
    *at += size;
    return true;
}

// An ident and the byte after it (a reason's length, an airport's kind),
// the ident ending within its bytes.
bool TakeIcaoAndByte(const uint8_t *taken, size_t end, size_t *at, uint8_t *byte) {
    if (end - *at < kIcaoBytes || memchr(taken + *at, '\0', kIcaoBytes) == nullptr) return false;
    *at += kIcaoBytes;
    return Take(taken, end, at, byte, 1);
}

// Padded with NULs: the bytes after an ident's end are whatever its record
// held, and the same file must give the same record.
void AppendIcao(std::vector<uint8_t> *taken, const char *icao) {
    uint8_t padded[kIcaoBytes] = {};
    memcpy(padded, icao, strnlen(icao, kIcaoBytes - 1));
    taken->insert(taken->end(), padded, padded + kIcaoBytes);
}

// Bounds and reach as Store works them out from a file's points and spots,
// whatever their positions: any other value came from a damaged index, and
// an answer would measure from it.
bool NetworkBoundsAreStores(float south, float north, float west, float east, float reach) {
    const float lowestLatitude = static_cast<float>(RawLatitude(UINT32_MAX));
    const float highestLatitude = static_cast<float>(RawLatitude(0));
    const float lowestLongitude = static_cast<float>(RawLongitude(0));
    const float highestLongitude = static_cast<float>(RawLongitude(UINT32_MAX));
    const float leastReach = static_cast<float>(kMapReachMetres + 1.0), mostReach = kBglMaxParkingRadius + 1.0f;
    // Written so that a NaN fails every comparison.
    return south >= lowestLatitude && south <= north && north <= highestLatitude && west >= lowestLongitude &&
           west <= east && east <= highestLongitude && reach >= leastReach && reach <= mostReach;
}

}  // namespace

void AirportMap::AppendTaken(std::vector<uint8_t> *taken, const void *data, size_t size) {
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    taken->insert(taken->end(), bytes, bytes + size);
}

size_t AirportMap::BeginTaken(std::vector<uint8_t> *taken, const std::vector<BglSkip> &skips) {
    const uint16_t count = static_cast<uint16_t>(std::min<size_t>(skips.size(), UINT16_MAX));
    AppendTaken(taken, &count, sizeof count);
    for (uint16_t i = 0; i < count; ++i) {
        const BglSkip &skip = skips[i];
        const uint8_t length = static_cast<uint8_t>(strnlen(skip.why, sizeof skip.why - 1));
        AppendIcao(taken, skip.icao);
        AppendTaken(taken, &length, 1);
        AppendTaken(taken, skip.why, length);
    }
    const size_t countAt = taken->size();
    const uint32_t airports = 0;
    AppendTaken(taken, &airports, sizeof airports);
    return countAt;
}

void AirportMap::AppendDelete(std::vector<uint8_t> *taken, const char *icao) {
    AppendIcao(taken, icao);
    AppendTaken(taken, &kTakenDeletes, 1);
}

void AirportMap::AppendNetwork(std::vector<uint8_t> *taken, const Airport &kept) const {
    static_assert(sizeof(BglPoint) == 8 && sizeof(BglParking) == 20 && sizeof(Path) == 8 && sizeof(BglTaxiName) == 9 &&
                      sizeof(TakenNetwork) == 36 && sizeof kept.icao == kIcaoBytes,
                  "the index holds these sizes");
    const TakenNetwork network = {kept.pointCount, kept.parkingCount, kept.pathCount, kept.nameCount, kept.south,
                                  kept.north,      kept.west,         kept.east,      kept.reach};
    AppendIcao(taken, kept.icao);
    AppendTaken(taken, &kTakenNetwork, 1);
    AppendTaken(taken, &network, sizeof network);
    AppendTaken(taken, points_.data() + kept.firstPoint, kept.pointCount * sizeof(BglPoint));
    AppendTaken(taken, parking_.data() + kept.firstParking, kept.parkingCount * sizeof(BglParking));
    AppendTaken(taken, paths_.data() + kept.firstPath, kept.pathCount * sizeof(Path));
    AppendTaken(taken, names_.data() + kept.firstName, kept.nameCount * sizeof(BglTaxiName));
}

bool AirportMap::TakenAddsUp(const uint8_t *taken, size_t size, TakenSizes *sizes) {
    size_t at = 0;
    uint16_t skips = 0;
    if (!Take(taken, size, &at, &skips, sizeof skips)) return false;
    for (uint16_t i = 0; i < skips; ++i) {
        uint8_t length = 0;
        if (!TakeIcaoAndByte(taken, size, &at, &length) || length >= kBglWhySize || size - at < length ||
            memchr(taken + at, '\0', length) != nullptr)
            return false;
        at += length;
    }
    uint32_t airports = 0;
    if (!Take(taken, size, &at, &airports, sizeof airports)) return false;
    for (uint32_t i = 0; i < airports; ++i) {
        uint8_t kind = 0;
        if (!TakeIcaoAndByte(taken, size, &at, &kind)) return false;
        if (kind == kTakenDeletes) continue;
        TakenNetwork network;
        if (kind != kTakenNetwork || !Take(taken, size, &at, &network, sizeof network) ||
            !NetworkBoundsAreStores(network.south, network.north, network.west, network.east, network.reach))
            return false;
        // Each count against the bytes left before it is multiplied.
        if (network.points > (size - at) / sizeof(BglPoint)) return false;
        at += network.points * sizeof(BglPoint);
        if (network.parking > (size - at) / sizeof(BglParking)) return false;
        for (uint32_t p = 0; p < network.parking; ++p, at += sizeof(BglParking)) {
            BglParking spot;
            memcpy(&spot, taken + at, sizeof spot);
            if (!BglParkingIsSane(spot)) return false;
        }
        if (network.paths > (size - at) / sizeof(Path)) return false;
        for (uint32_t p = 0; p < network.paths; ++p, at += sizeof(Path)) {
            Path path;
            memcpy(&path, taken + at, sizeof path);
            const uint32_t type = path.type & 0x0F;
            const uint32_t ends = type == MAP_PATH_PARKING ? network.parking : network.points;
            if (type < MAP_PATH_TAXI || type > MAP_PATH_VEHICLE || path.start >= network.points || path.end >= ends)
                return false;
        }
        if (network.names > (size - at) / sizeof(BglTaxiName)) return false;
        for (uint32_t n = 0; n < network.names; ++n, at += sizeof(BglTaxiName))
            if (taken[at + sizeof(BglTaxiName) - 1] != '\0') return false;
        if (sizes == nullptr) continue;
        ++sizes->airports;
        sizes->points += network.points, sizes->parking += network.parking;
        sizes->paths += network.paths, sizes->names += network.names;
    }
    return at == size;
}

void AirportMap::Reserve(const TakenSizes &sizes) {
    // A sixteenth more, so that files read anew beside them fit too.
    auto more = [](auto &array, size_t count) { array.reserve(array.size() + count + count / 16); };
    more(airports_, sizes.airports);
    more(points_, sizes.points);
    more(parking_, sizes.parking);
    more(paths_, sizes.paths);
    more(names_, sizes.names);
}

void AirportMap::Restore(Airport *kept, const TakenNetwork &network, const uint8_t *arrays, int layer, uint32_t file) {
    kept->layer = layer;
    kept->file = file;
    auto append = [&arrays](auto &array, uint32_t count, uint32_t *first, uint32_t *counted) {
        typedef typename std::remove_reference_t<decltype(array)>::value_type Element;
        *first = static_cast<uint32_t>(array.size());
        *counted = count;
        array.resize(array.size() + count);
        memcpy(array.data() + *first, arrays, count * sizeof(Element));
        arrays += count * sizeof(Element);
    };
    append(points_, network.points, &kept->firstPoint, &kept->pointCount);
    append(parking_, network.parking, &kept->firstParking, &kept->parkingCount);
    append(paths_, network.paths, &kept->firstPath, &kept->pathCount);
    append(names_, network.names, &kept->firstName, &kept->nameCount);
    kept->south = network.south, kept->north = network.north;
    kept->west = network.west, kept->east = network.east;
    kept->reach = network.reach;
}

void AirportMap::AddTaken(const char *path, int layer, const uint8_t *taken, size_t size, MapNotes *notes) {
    size_t at = 0;
    uint16_t skips = 0;
    Take(taken, size, &at, &skips, sizeof skips);
    for (uint16_t i = 0; i < skips; ++i) {
        const char *icao = reinterpret_cast<const char *>(taken + at);
        const uint8_t length = taken[at + kIcaoBytes];
        char why[kBglWhySize];
        memcpy(why, taken + at + kIcaoBytes + 1, length);
        why[length] = '\0';
        notes->Skipped(path, icao, why);
        at += kIcaoBytes + 1 + length;
    }
    Reopen();
    uint32_t airports = 0, file = UINT32_MAX;
    Take(taken, size, &at, &airports, sizeof airports);
    for (uint32_t i = 0; i < airports; ++i) {
        const char *icao = reinterpret_cast<const char *>(taken + at);
        const uint8_t kind = taken[at + kIcaoBytes];
        at += kIcaoBytes + 1;
        if (kind == kTakenDeletes) {
            Delete(path, layer, icao, notes);
            continue;
        }
        TakenNetwork network;
        Take(taken, size, &at, &network, sizeof network);
        Airport *kept = Place(icao, path, &file);  // before file is read
        Restore(kept, network, taken + at, layer, file);
        at += network.points * sizeof(BglPoint) + network.parking * sizeof(BglParking) + network.paths * sizeof(Path) +
              network.names * sizeof(BglTaxiName);
    }
}
