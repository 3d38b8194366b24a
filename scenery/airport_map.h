// Every airport of a scenery library that has a taxi network, as the layers
// leave it, and the answer to a position. Files are added in load order (the
// lowest layer first), so a later airport of the same ident replaces an
// earlier one's network as the simulator's own loading does. Only airports
// with a network are kept, and those in flat arrays of the file's own
// encodings, so that a whole default library stays within a few megabytes.
#ifndef DROVANA_SCENERY_AIRPORT_MAP_H
#define DROVANA_SCENERY_AIRPORT_MAP_H

#include <stddef.h>
#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "bgl_reader.h"
#include "map_protocol.h"

// What the map has to say while it is built: skipped files and airports go
// to the log; the pilot's report of one airport also takes what was read.
class MapNotes {
public:
    virtual ~MapNotes() {}
    // icao is empty for a whole file.
    virtual void Skipped(const char *file, const char *icao, const char *why) = 0;
    virtual void Read(const char *, const char *, const char *) {}
    // Whether Read is wanted: a whole library gives 24,000 lines nobody reads.
    virtual bool TakesRead() const { return false; }
    // The library as a whole: which Scenery.CFG, areas left out.
    virtual void Library(const char *text) = 0;
};

class AirportMap {
public:
    // The airports of one file of an area of that layer, in load order.
    // With taken, what the map took of the file is appended to it in the
    // form AddTaken adds again: a later start need not open an unchanged
    // file, nor parse it, nor work out its networks' bounds once more.
    void AddFile(const char *path, int layer, const BglFileContents &contents, MapNotes *notes,
                 std::vector<uint8_t> *taken = nullptr);
    // Networks and the sizes of their arrays, all told.
    struct TakenSizes {
        size_t airports = 0, points = 0, parking = 0, paths = 0, names = 0;
    };
    // Whether size bytes are one whole such record, every count and index
    // in it within its bytes and its networks, and every bound, reach,
    // radius, heading and path type one AddFile could have kept; only such a
    // record may be given to AddTaken. sizes, when given, gains what the record holds.
    static bool TakenAddsUp(const uint8_t *taken, size_t size, TakenSizes *sizes = nullptr);
    // Room for that much more (and a little over) at once: arrays grown by
    // doubling would hold up to three times a library's networks while they
    // copy.
    void Reserve(const TakenSizes &sizes);
    // The file again from a record TakenAddsUp accepted, in load order as
    // AddFile would: its skipped airports go to the notes as they did when
    // it was read.
    void AddTaken(const char *path, int layer, const uint8_t *taken, size_t size, MapNotes *notes);
    // Drops the networks later layers replaced and the lookup used while
    // adding; call once all files are in.
    void Compact();

    size_t AirportCount() const { return airports_.size(); }
    size_t BytesHeld() const;

    // The answer to a position: status, airport, parking spot, up to
    // maxPaths taxi paths and up to maxStands aircraft stands (the nearest
    // first). Returns the paths written.
    uint32_t Answer(double latitude, double longitude, MapAnswerHeader *header, MapPath *paths, uint32_t maxPaths,
                    MapStand *stands = nullptr, uint32_t maxStands = 0) const;

    // One airport as kept, for the pilot's report and ./drovana map.
    struct View {
        const char *icao;
        const char *file;
        int layer;
        std::vector<BglPoint> points;
        std::vector<BglParking> parking;
        std::vector<BglPath> paths;
        std::vector<BglTaxiName> names;
    };
    bool Find(const char *icao, View *view) const;
    std::vector<std::string> Idents() const;

private:
    // A taxi path in 8 bytes: a large airport has thousands.
    struct Path {
        uint16_t start, end;
        uint8_t type;  // low 4 bits MapPathType, high 4 bits the runway designator
        uint8_t name;
        uint16_t decimetres;  // width
    };
    static Path Packed(const BglPath &path);
    static BglPath Unpacked(const Path &path);

    struct Airport {
        char icao[8];
        int32_t layer;
        uint32_t file;
        uint32_t firstPoint, pointCount;
        uint32_t firstParking, parkingCount;
        uint32_t firstPath, pathCount;
        uint32_t firstName, nameCount;
        float south, north, west, east;  // degrees, the network's bounds
        float reach;                     // metres around the bounds a position may lie
    };
    void Store(Airport *kept, const BglAirport &airport, int layer, uint32_t file);
    // A taken network: its arrays as kept and its bounds as Store found them.
    struct TakenNetwork {
        uint32_t points, parking, paths, names;
        float south, north, west, east, reach;
    };
    static void AppendTaken(std::vector<uint8_t> *taken, const void *data, size_t size);
    // The file's skipped airports and room for its airport count; returns where the count goes.
    static size_t BeginTaken(std::vector<uint8_t> *taken, const std::vector<BglSkip> &skips);
    static void AppendDelete(std::vector<uint8_t> *taken, const char *icao);
    void AppendNetwork(std::vector<uint8_t> *taken, const Airport &kept) const;
    void Restore(Airport *kept, const TakenNetwork &network, const uint8_t *arrays, int layer, uint32_t file);
    // Where a network of the file goes: over the lower layer's airport of
    // that ident (whose arrays go at Compact) or into a new one.
    Airport *Place(const char *icao, const char *path, uint32_t *file);
    // A delete record's work: the lower layer's network of that ident gone.
    void Delete(const char *path, int layer, const char *icao, MapNotes *notes);
    void Reopen();
    void PathText(const Airport &airport, const Path &path, char *text, size_t size) const;
    const BglPoint &PathEnd(const Airport &airport, const Path &path) const;
    const Airport *Lookup(const char *icao) const;

    std::vector<Airport> airports_;
    std::map<std::string, uint32_t> byIdent_;  // while files are added
    std::vector<uint32_t> sorted_;             // after Compact: airports by ident
    bool compacted_ = false;
    std::vector<std::string> files_;
    std::vector<BglPoint> points_;
    std::vector<BglParking> parking_;
    std::vector<Path> paths_;
    std::vector<BglTaxiName> names_;
};

// Ground distance in metres between two nearby positions, measured as the
// add-on measures it: one minute of arc is 1852 m.
double NearbyMetres(double lat1, double lon1, double lat2, double lon2);

#endif
