// What the last start learnt of each BGL file of the library, kept in
// DrovanaX\ between starts: a file whose size and write time are unchanged
// is not opened again. Most of a library is terrain and objects, and opening
// thousands of files is what a start costs; of an airport file the index
// keeps what the map took of it (AirportMap::AddFile's record), so that
// reading, parsing and measuring 60 MB of airports is not done again either.
// The index only ever saves work: one that is damaged, foreign or of another
// version is dropped whole and the library read as if it were not there.
#ifndef DROVANA_SCENERY_MAP_INDEX_H
#define DROVANA_SCENERY_MAP_INDEX_H

#include <stddef.h>
#include <stdint.h>

#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "airport_map.h"

const char kMapIndexName[] = "DrovanaMap.idx";

// A default library's index is 28 MB, nearly all of it its airports'
// networks. The list of files may take 16 MB of this (60,000 files of
// 260-character paths), the networks the rest: files beyond it are listed
// without them, and so read at each start.
const size_t kMapIndexMaxBytes = 48u << 20;

// The checksum the index carries over its body.
uint32_t MapIndexChecksum(const uint8_t *data, size_t size);

class MapIndex {
public:
    MapIndex() { Clear(); }
    // Its records may point into its own bytes.
    MapIndex(const MapIndex &) = delete;
    MapIndex &operator=(const MapIndex &) = delete;

    // The index's bytes; false (and the index empty) when they are not a
    // whole index of this version, why saying what is wrong. The files'
    // records are not copied: data must outlive the index.
    bool Parse(const uint8_t *data, size_t size, char *why, size_t whySize);
    // Keeps the file's bytes for the records in it.
    bool Load(const char *path, char *why, size_t whySize);

    // True when path was listed with that size and write time; *airports
    // then says whether it held an airport section and *taken (when given)
    // is what the map took of it, or nullptr when it was not kept.
    bool Known(const std::string &path, uint64_t size, uint64_t writeTime, bool *airports,
               const uint8_t **taken = nullptr, size_t *takenSize = nullptr) const;
    // A file and, for an airport file, the record of what the map took of
    // it: taken is kept by the index, borrowed points into bytes that
    // outlive it (another index's). A record beyond the networks' share of
    // kMapIndexMaxBytes is left out.
    void Add(const std::string &path, uint64_t size, uint64_t writeTime, bool airports);
    void Add(const std::string &path, uint64_t size, uint64_t writeTime, std::vector<uint8_t> &&taken);
    void AddBorrowed(const std::string &path, uint64_t size, uint64_t writeTime, const uint8_t *taken,
                     size_t takenSize);
    size_t Count() const { return files_.size(); }
    // Empty, its bytes given back.
    void Drop();
    // What the records of the files hold, all told.
    const AirportMap::TakenSizes &Taken() const { return taken_; }
    // Whether Bytes() of both would be the same.
    bool SameAs(const MapIndex &other) const;

    std::vector<uint8_t> Bytes() const;
    // Written beside and moved over the old one, so a start that ends midway
    // leaves the old index or none, never half of one.
    bool Save(const char *path) const;

private:
    struct File {
        uint64_t size, writeTime;
        bool airports;
        const uint8_t *taken;  // nullptr when the file's airports are not kept
        size_t takenSize;
    };
    typedef std::unordered_map<std::string, File> Files;
    void Insert(const std::string &path, const File &file);
    bool Fits(size_t takenSize) const;
    void Clear();
    // Calls write(bytes, count) with the body, entry by entry; returns its checksum.
    template <typename Write>
    uint32_t EmitBody(Write write) const;
    void Header(uint8_t *header, uint32_t checksum) const;

    Files files_;
    std::vector<const Files::value_type *> order_;  // as added, so the bytes repeat; a map's entries never move
    std::vector<uint8_t> loaded_;                   // what Load read
    std::deque<std::vector<uint8_t>> owned_;        // records given to Add; a deque never moves them
    AirportMap::TakenSizes taken_;                  // of the records Parse read
    size_t bytes_ = 0;                              // of the index as it would be written
};

#endif
