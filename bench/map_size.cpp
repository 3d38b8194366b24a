// The airport map at the size of a default FSX library: how many bytes it
// holds and how long an answer takes. About 24,000 airports; most are small
// fields with a few stands and paths, a thousand are large ones.
#include <windows.h>

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "airport_map.h"

namespace {

uint32_t RawLon(double lon) { return static_cast<uint32_t>((lon + 180.0) * (3.0 * 268435456.0) / 360.0); }
uint32_t RawLat(double lat) { return static_cast<uint32_t>((90.0 - lat) * (2.0 * 268435456.0) / 180.0); }

struct Quiet : MapNotes {
    void Skipped(const char *, const char *, const char *) override {}
    void Library(const char *) override {}
};

BglAirport MakeAirport(int n, int points, int paths, int stands, double *lat, double *lon) {
    BglAirport a = {};
    snprintf(a.icao, sizeof a.icao, "B%03d", n % 1000);
    a.icao[0] = static_cast<char>('A' + (n / 1000) % 26);
    *lat = -60.0 + (n % 240) * 0.5;
    *lon = -179.0 + (n / 240) * 3.5;
    const double metre = 1.0 / 111120.0;
    for (int i = 0; i < points; ++i) {
        BglTaxiPoint p = {{RawLon(*lon + (i % 20) * 30 * metre), RawLat(*lat + (i / 20) * 30 * metre)}, 1};
        a.points.push_back(p);
    }
    for (int i = 0; i < stands; ++i) {
        BglParking s = {{RawLon(*lon + i * 40 * metre), RawLat(*lat - 50 * metre)}, 0x0000C90Cu, 20.0f, 180.0f};
        a.parking.push_back(s);
    }
    for (int i = 0; i < paths; ++i) {
        BglPath p = {static_cast<uint16_t>(i % points), static_cast<uint16_t>((i + 1) % points), 1, 0, 0, 20.0f};
        if (i < stands) p.type = 3, p.end = static_cast<uint16_t>(i);
        a.paths.push_back(p);
    }
    return a;
}

}  // namespace

int main() {
    const int kAirports = 24000, kLarge = 1000;
    AirportMap map;
    Quiet quiet;
    std::vector<double> lats, lons;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int n = 0; n < kAirports; ++n) {
        BglFileContents contents;
        double lat, lon;
        const bool large = n % (kAirports / kLarge) == 0;
        contents.airports.push_back(large ? MakeAirport(n, 400, 500, 150, &lat, &lon)
                                          : MakeAirport(n, 8, 8, 4, &lat, &lon));
        lats.push_back(lat), lons.push_back(lon);
        map.AddFile("C:\\FSX\\Scenery\\0000\\scenery\\APX00000.bgl", 1, contents, &quiet);
    }
    map.Compact();
    QueryPerformanceCounter(&end);
    const double buildMs = (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;

    static MapPath paths[kMapMaxPaths];
    const int kQuestions = 2000;
    uint32_t found = 0;
    QueryPerformanceCounter(&start);
    for (int q = 0; q < kQuestions; ++q) {
        MapAnswerHeader header = {};
        const int n = (q * 7919) % kAirports;
        map.Answer(lats[n] + 0.0001, lons[n] + 0.0001, &header, paths, kMapMaxPaths);
        found += header.status == MAP_AIRPORT;
    }
    QueryPerformanceCounter(&end);
    const double answerUs = (end.QuadPart - start.QuadPart) * 1e6 / frequency.QuadPart / kQuestions;
    printf(
        "map_size: %d airports (%d large) held in %.2f MB, built in %.0f ms; an answer takes %.0f us "
        "(%u of %d found an airport)\n",
        kAirports, kLarge, map.BytesHeld() / 1048576.0, buildMs, answerUs, found, kQuestions);
    return 0;
}
