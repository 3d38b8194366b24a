#include "airport_map.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <type_traits>

namespace {

const double kMetresPerDegree = 1852.0 * 60.0;
const double kPi = 3.14159265358979323846;

// Into [-180, 180] at once: a longitude may come from a file, and a loop
// that steps by 360 degrees would never leave an infinite one.
double LonDifference(double lon2, double lon1) {
    const double d = lon2 - lon1;
    return d >= -180.0 && d <= 180.0 ? d : remainder(d, 360.0);
}

// Degrees east or west of the span from west to east, the shorter way round
// the globe: a network that ends at 180 degrees has its neighbours across it.
double DegreesOutside(double longitude, double west, double east) {
    double fromWest = fmod(longitude - west, 360.0);
    if (fromWest < 0.0) fromWest += 360.0;
    const double width = east - west;
    if (fromWest <= width) return 0.0;
    return std::min(fromWest - width, 360.0 - fromWest);
}

// A plane around the position, in metres east and north: enough for 300 m.
struct Plane {
    double lat, lon, eastScale;
    Plane(double latitude, double longitude)
        : lat(latitude), lon(longitude), eastScale(kMetresPerDegree * cos(latitude * kPi / 180.0)) {}
    void Project(const BglPoint &p, double *east, double *north) const {
        *east = LonDifference(RawLongitude(p.lonRaw), lon) * eastScale;
        *north = (RawLatitude(p.latRaw) - lat) * kMetresPerDegree;
    }
};

double SegmentMetres(double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    const double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared > 0.0 ? -(ax * dx + ay * dy) / lengthSquared : 0.0;
    t = t < 0.0 ? 0.0 : t > 1.0 ? 1.0 : t;
    const double x = ax + t * dx, y = ay + t * dy;
    return sqrt(x * x + y * y);
}

void Copy(char *to, size_t size, const char *from) { snprintf(to, size, "%s", from); }

typedef std::pair<double, uint32_t> MetresAndIndex;
bool NearerFirst(const MetresAndIndex &x, const MetresAndIndex &y) { return x.first < y.first; }

// The stands a push from the position could pass: every aircraft stand whose
// circle reaches within kMapReachMetres, the nearest first.
uint32_t NearStands(const BglParking *spots, uint32_t spotCount, const Plane &plane, MapStand *stands,
                    uint32_t maxStands) {
    std::vector<MetresAndIndex> near;
    for (uint32_t i = 0; i < spotCount; ++i) {
        const BglParking &spot = spots[i];
        if (IsVehicleParking(spot.flags)) continue;
        double x, y;
        plane.Project(spot.at, &x, &y);
        const double metres = sqrt(x * x + y * y);
        if (metres - spot.radius <= kMapReachMetres) near.push_back(std::make_pair(metres, i));
    }
    std::stable_sort(near.begin(), near.end(), NearerFirst);
    const uint32_t count = static_cast<uint32_t>(std::min<size_t>(near.size(), maxStands));
    for (uint32_t n = 0; n < count; ++n) {
        const BglParking &spot = spots[near[n].second];
        MapStand &stand = stands[n];
        memset(&stand, 0, sizeof stand);
        stand.latitude = RawLatitude(spot.at.latRaw);
        stand.longitude = RawLongitude(spot.at.lonRaw);
        stand.radius = spot.radius;
        stand.heading = spot.heading;
    }
    return count;
}

}  // namespace

double NearbyMetres(double lat1, double lon1, double lat2, double lon2) {
    const double north = (lat2 - lat1) * kMetresPerDegree;
    const double east = LonDifference(lon2, lon1) * kMetresPerDegree * cos(lat1 * kPi / 180.0);
    return sqrt(north * north + east * east);
}

AirportMap::Path AirportMap::Packed(const BglPath &path) {
    const float decimetres = path.width * 10.0f + 0.5f;
    Path packed = {path.start, path.end, static_cast<uint8_t>((path.type & 0x0F) | (path.designator << 4)), path.name,
                   static_cast<uint16_t>(decimetres <= 0.0f       ? 0
                                         : decimetres >= 65535.0f ? 65535
                                                                  : decimetres)};
    return packed;
}

BglPath AirportMap::Unpacked(const Path &path) {
    BglPath unpacked = {path.start,
                        path.end,
                        static_cast<uint8_t>(path.type & 0x0F),
                        path.name,
                        static_cast<uint8_t>(path.type >> 4),
                        path.decimetres / 10.0f};
    return unpacked;
}

const BglPoint &AirportMap::PathEnd(const Airport &a, const Path &path) const {
    return (path.type & 0x0F) == MAP_PATH_PARKING ? parking_[a.firstParking + path.end].at
                                                  : points_[a.firstPoint + path.end];
}

void AirportMap::Store(Airport *kept, const BglAirport &airport, int layer, uint32_t file) {
    kept->layer = layer;
    kept->file = file;
    kept->firstPoint = static_cast<uint32_t>(points_.size());
    kept->pointCount = static_cast<uint32_t>(airport.points.size());
    for (const BglTaxiPoint &p : airport.points) points_.push_back(p.at);
    kept->firstParking = static_cast<uint32_t>(parking_.size());
    kept->parkingCount = static_cast<uint32_t>(airport.parking.size());
    parking_.insert(parking_.end(), airport.parking.begin(), airport.parking.end());
    kept->firstPath = static_cast<uint32_t>(paths_.size());
    kept->pathCount = static_cast<uint32_t>(airport.paths.size());
    for (const BglPath &p : airport.paths) paths_.push_back(Packed(p));
    kept->firstName = static_cast<uint32_t>(names_.size());
    kept->nameCount = static_cast<uint32_t>(airport.names.size());
    names_.insert(names_.end(), airport.names.begin(), airport.names.end());

    // Bounds in the file's own units, turned into degrees once: a library
    // has a million points, and this is most of what adding a file costs.
    // The raw latitude grows southwards, the raw longitude eastwards.
    uint32_t lonLow = UINT32_MAX, lonHigh = 0, latLow = UINT32_MAX, latHigh = 0;
    double reach = kMapReachMetres;
    auto widen = [&](const BglPoint &p) {
        lonLow = std::min(lonLow, p.lonRaw), lonHigh = std::max(lonHigh, p.lonRaw);
        latLow = std::min(latLow, p.latRaw), latHigh = std::max(latHigh, p.latRaw);
    };
    for (const BglTaxiPoint &p : airport.points) widen(p.at);
    for (const BglParking &p : airport.parking) {
        widen(p.at);
        reach = std::max(reach, static_cast<double>(p.radius));
    }
    kept->south = static_cast<float>(RawLatitude(latHigh)), kept->north = static_cast<float>(RawLatitude(latLow));
    kept->west = static_cast<float>(RawLongitude(lonLow)), kept->east = static_cast<float>(RawLongitude(lonHigh));
    kept->reach = static_cast<float>(reach + 1.0);  // the bounds are floats
}

void AirportMap::Reopen() {
    if (!compacted_) return;  // added to after Compact
    for (uint32_t i = 0; i < airports_.size(); ++i) byIdent_[airports_[i].icao] = i;
    std::vector<uint32_t>().swap(sorted_);
    compacted_ = false;
}

AirportMap::Airport *AirportMap::Place(const char *icao, const char *path, uint32_t *file) {
    if (*file == UINT32_MAX) {
        *file = static_cast<uint32_t>(files_.size());
        files_.push_back(path);
    }
    const auto known = byIdent_.find(icao);
    if (known != byIdent_.end()) return &airports_[known->second];
    Airport kept = {};
    Copy(kept.icao, sizeof kept.icao, icao);
    byIdent_[icao] = static_cast<uint32_t>(airports_.size());
    airports_.push_back(kept);
    return &airports_.back();
}

void AirportMap::Delete(const char *path, int layer, const char *icao, MapNotes *notes) {
    const auto known = byIdent_.find(icao);
    if (known == byIdent_.end()) return;
    char said[200];
    snprintf(said, sizeof said, "layer %d: deletes the taxiways of %s", layer,
             files_[airports_[known->second].file].c_str());
    notes->Read(path, icao, said);
    airports_[known->second].icao[0] = '\0';  // gone at Compact
    byIdent_.erase(known);
}

void AirportMap::AddFile(const char *path, int layer, const BglFileContents &contents, MapNotes *notes,
                         std::vector<uint8_t> *taken) {
    for (const BglSkip &skip : contents.skippedAirports) notes->Skipped(path, skip.icao, skip.why);
    Reopen();
    const size_t countAt = taken != nullptr ? BeginTaken(taken, contents.skippedAirports) : 0;
    uint32_t recorded = 0;
    uint32_t file = UINT32_MAX;
    const bool told = notes->TakesRead();
    for (const BglAirport &airport : contents.airports) {
        char said[200];
        const auto known = byIdent_.find(airport.icao);
        if (airport.HasTaxiNetwork()) {
            if (told) {
                snprintf(said, sizeof said, "layer %d: %u taxi points, %u parking spots, %u taxi paths%s%s", layer,
                         static_cast<unsigned>(airport.points.size()), static_cast<unsigned>(airport.parking.size()),
                         static_cast<unsigned>(airport.paths.size()),
                         known != byIdent_.end() ? ", replacing the network of " : "",
                         known != byIdent_.end() ? files_[airports_[known->second].file].c_str() : "");
                notes->Read(path, airport.icao, said);
            }
            Airport *kept = Place(airport.icao, path, &file);
            Store(kept, airport, layer, file);
            if (taken != nullptr) AppendNetwork(taken, *kept), ++recorded;
        } else {
            // Kept even when nothing lies below now: a lower file may change.
            if (taken != nullptr && airport.deletesTaxiways) AppendDelete(taken, airport.icao), ++recorded;
            if (airport.deletesTaxiways && known != byIdent_.end()) {
                Delete(path, layer, airport.icao, notes);
            } else if (told) {
                snprintf(said, sizeof said, "layer %d: no taxi network%s", layer,
                         known != byIdent_.end() ? "; the lower layer's stays" : "");
                notes->Read(path, airport.icao, said);
            }
        }
    }
    if (taken != nullptr) memcpy(taken->data() + countAt, &recorded, sizeof recorded);
}

// Moves each kept range down over the dropped ones within the same arrays:
// a second copy of a whole library's networks would double the program's peak.
void AirportMap::Compact() {
    std::map<std::string, uint32_t>().swap(byIdent_);
    std::vector<Airport> airports;
    airports.reserve(airports_.size());
    for (const Airport &a : airports_)
        if (a.icao[0] != '\0') airports.push_back(a);
    // Each airport's ranges were appended together, so storage order is the
    // order of their starts; a replaced airport's new ranges lie further on.
    std::sort(airports.begin(), airports.end(), [](const Airport &x, const Airport &y) {
        if (x.firstPoint != y.firstPoint) return x.firstPoint < y.firstPoint;
        if (x.firstParking != y.firstParking) return x.firstParking < y.firstParking;
        if (x.firstPath != y.firstPath) return x.firstPath < y.firstPath;
        return x.firstName < y.firstName;
    });
    uint32_t points = 0, parking = 0, paths = 0, names = 0;
    auto moveDown = [](auto &array, uint32_t *first, uint32_t count, uint32_t *to) {
        std::copy(array.begin() + *first, array.begin() + *first + count, array.begin() + *to);
        *first = *to;
        *to += count;
    };
    std::vector<std::string> files;
    std::vector<uint32_t> fileIndex(files_.size(), UINT32_MAX);
    for (Airport &a : airports) {
        moveDown(points_, &a.firstPoint, a.pointCount, &points);
        moveDown(parking_, &a.firstParking, a.parkingCount, &parking);
        moveDown(paths_, &a.firstPath, a.pathCount, &paths);
        moveDown(names_, &a.firstName, a.nameCount, &names);
        if (fileIndex[a.file] == UINT32_MAX) {
            fileIndex[a.file] = static_cast<uint32_t>(files.size());
            files.push_back(files_[a.file]);
        }
        a.file = fileIndex[a.file];
    }
    // One array at a time into one of its own size (shrink_to_fit, built
    // without exceptions, may keep the capacity). One made to measure by
    // Reserve stays: its copy would raise the peak by the largest array.
    auto fit = [](auto &array, uint32_t count) {
        if (array.capacity() - count <= count / 8) return array.resize(count);
        std::remove_reference_t<decltype(array)>(array.begin(), array.begin() + count).swap(array);
    };
    fit(points_, points), fit(parking_, parking), fit(paths_, paths), fit(names_, names);
    airports_.swap(airports);
    files_.swap(files);
    sorted_.resize(airports_.size());
    for (uint32_t i = 0; i < sorted_.size(); ++i) sorted_[i] = i;
    std::sort(sorted_.begin(), sorted_.end(),
              [&](uint32_t x, uint32_t y) { return strcmp(airports_[x].icao, airports_[y].icao) < 0; });
    compacted_ = true;
}

size_t AirportMap::BytesHeld() const {
    size_t bytes = airports_.capacity() * sizeof(Airport) + points_.capacity() * sizeof(BglPoint) +
                   parking_.capacity() * sizeof(BglParking) + paths_.capacity() * sizeof(Path) +
                   names_.capacity() * sizeof(BglTaxiName) + sorted_.capacity() * sizeof(uint32_t);
    for (const std::string &file : files_) bytes += file.capacity() + sizeof file;
    return bytes + byIdent_.size() * 64;  // a tree node and its key, near enough
}

void AirportMap::PathText(const Airport &airport, const Path &path, char *text, size_t size) const {
    if ((path.type & 0x0F) == MAP_PATH_RUNWAY) {
        RunwayName(path.name, path.type >> 4, text, size);
    } else if (path.name < airport.nameCount) {
        Copy(text, size, names_[airport.firstName + path.name].text);
    } else {
        text[0] = '\0';
    }
}

uint32_t AirportMap::Answer(double latitude, double longitude, MapAnswerHeader *header, MapPath *out, uint32_t maxPaths,
                            MapStand *stands, uint32_t maxStands) const {
    const uint32_t questionId = header->questionId;
    memset(header, 0, sizeof *header);
    header->questionId = questionId;
    header->status = MAP_NO_AIRPORT;
    header->size = sizeof *header;
    if (!(latitude >= -90.0 && latitude <= 90.0 && longitude >= -180.0 && longitude <= 180.0)) return 0;
    const Plane plane(latitude, longitude);

    // The airport whose stands or taxi lines lie nearest.
    const Airport *best = nullptr;
    double bestMetres = 0;
    for (const Airport &a : airports_) {
        const double lat = std::min<double>(std::max<double>(latitude, a.south), a.north);
        if (fabs(lat - latitude) * kMetresPerDegree > a.reach) continue;  // most airports, without trigonometry
        const double north = (lat - latitude) * kMetresPerDegree;
        const double east = DegreesOutside(longitude, a.west, a.east) * plane.eastScale;
        if (!(north * north + east * east <= static_cast<double>(a.reach) * a.reach)) continue;
        double nearest = 1e300;
        for (uint32_t i = 0; i < a.parkingCount; ++i) {
            const BglParking &spot = parking_[a.firstParking + i];
            double x, y;
            plane.Project(spot.at, &x, &y);
            nearest = std::min(nearest, sqrt(x * x + y * y) - spot.radius);
        }
        for (uint32_t i = 0; i < a.pathCount; ++i) {
            const Path &path = paths_[a.firstPath + i];
            double ax, ay, bx, by;
            plane.Project(points_[a.firstPoint + path.start], &ax, &ay);
            plane.Project(PathEnd(a, path), &bx, &by);
            nearest = std::min(nearest, SegmentMetres(ax, ay, bx, by));
        }
        if (nearest <= kMapReachMetres && (best == nullptr || nearest < bestMetres)) best = &a, bestMetres = nearest;
    }
    if (best == nullptr) return 0;

    const Airport &a = *best;
    header->status = MAP_AIRPORT;
    header->layer = a.layer;
    Copy(header->icao, sizeof header->icao, a.icao);
    Copy(header->file, sizeof header->file, files_[a.file].c_str());
    double spotMetres = 0;
    for (uint32_t i = 0; i < a.parkingCount; ++i) {
        const BglParking &spot = parking_[a.firstParking + i];
        double x, y;
        plane.Project(spot.at, &x, &y);
        const double metres = sqrt(x * x + y * y);
        if (metres > spot.radius || (header->hasParking && metres >= spotMetres)) continue;
        spotMetres = metres;
        header->hasParking = 1;
        header->parkingNumber = ParkingNumber(spot.flags);
        Copy(header->parkingName, sizeof header->parkingName, ParkingNameText(ParkingNameCode(spot.flags)));
        header->parkingHeading = spot.heading;
        header->parkingRadius = spot.radius;
        header->pushbackSide = ParkingPushSide(spot.flags);
        header->parkingLatitude = RawLatitude(spot.at.latRaw);
        header->parkingLongitude = RawLongitude(spot.at.lonRaw);
    }

    // Every path within reach, the nearest kept when there are too many.
    std::vector<MetresAndIndex> near;
    for (uint32_t i = 0; i < a.pathCount; ++i) {
        const Path &path = paths_[a.firstPath + i];
        double ax, ay, bx, by;
        plane.Project(points_[a.firstPoint + path.start], &ax, &ay);
        plane.Project(PathEnd(a, path), &bx, &by);
        const double metres = SegmentMetres(ax, ay, bx, by);
        if (metres <= kMapReachMetres) near.push_back(std::make_pair(metres, i));
    }
    std::stable_sort(near.begin(), near.end(), NearerFirst);
    const uint32_t count = static_cast<uint32_t>(std::min<size_t>(near.size(), maxPaths));
    for (uint32_t n = 0; n < count; ++n) {
        const Path &path = paths_[a.firstPath + near[n].second];
        MapPath &p = out[n];
        memset(&p, 0, sizeof p);
        p.type = path.type & 0x0F;
        PathText(a, path, p.name, sizeof p.name);
        p.width = path.decimetres / 10.0f;
        const BglPoint &start = points_[a.firstPoint + path.start];
        const BglPoint &end = PathEnd(a, path);
        p.startLatitude = RawLatitude(start.latRaw), p.startLongitude = RawLongitude(start.lonRaw);
        p.endLatitude = RawLatitude(end.latRaw), p.endLongitude = RawLongitude(end.lonRaw);
    }
    header->pathCount = count;
    header->standCount =
        stands != nullptr ? NearStands(parking_.data() + a.firstParking, a.parkingCount, plane, stands, maxStands) : 0;
    header->size =
        static_cast<uint32_t>(sizeof *header + count * sizeof(MapPath) + header->standCount * sizeof(MapStand));
    return count;
}

const AirportMap::Airport *AirportMap::Lookup(const char *icao) const {
    if (!compacted_) {
        const auto known = byIdent_.find(icao);
        return known == byIdent_.end() ? nullptr : &airports_[known->second];
    }
    const auto at = std::lower_bound(sorted_.begin(), sorted_.end(), icao,
                                     [&](uint32_t i, const char *key) { return strcmp(airports_[i].icao, key) < 0; });
    return at != sorted_.end() && strcmp(airports_[*at].icao, icao) == 0 ? &airports_[*at] : nullptr;
}

bool AirportMap::Find(const char *icao, View *view) const {
    const Airport *found = Lookup(icao);
    if (found == nullptr) return false;
    const Airport &a = *found;
    view->icao = a.icao;
    view->file = files_[a.file].c_str();
    view->layer = a.layer;
    view->points.assign(points_.begin() + a.firstPoint, points_.begin() + a.firstPoint + a.pointCount);
    view->parking.assign(parking_.begin() + a.firstParking, parking_.begin() + a.firstParking + a.parkingCount);
    view->paths.clear();
    for (uint32_t i = 0; i < a.pathCount; ++i) view->paths.push_back(Unpacked(paths_[a.firstPath + i]));
    view->names.assign(names_.begin() + a.firstName, names_.begin() + a.firstName + a.nameCount);
    return true;
}

std::vector<std::string> AirportMap::Idents() const {
    std::vector<std::string> idents;
    for (const Airport &a : airports_)
        if (a.icao[0] != '\0') idents.push_back(a.icao);
    std::sort(idents.begin(), idents.end());
    return idents;
}
