// What the last start learnt of each BGL file of the library, kept in
// DrovanaX\ between starts: a file whose size and write time are unchanged
// and that held no airport is not opened again. Most of a library is terrain
// and objects, and opening thousands of files is what a start costs. The
// index only ever saves work: one that is damaged, foreign or of another
// version is dropped whole and the library read as if it were not there.
#ifndef DROVANA_SCENERY_MAP_INDEX_H
#define DROVANA_SCENERY_MAP_INDEX_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <unordered_map>
#include <vector>

const char kMapIndexName[] = "DrovanaMap.idx";

// Larger than any library's index: 60,000 files of 260-character paths (a
// default install has about 2,500 files, 110 bytes an entry).
const size_t kMapIndexMaxBytes = 16u << 20;

class MapIndex {
public:
    // The index's bytes; false (and the index empty) when they are not a
    // whole index of this version, why saying what is wrong.
    bool Parse(const uint8_t *data, size_t size, char *why, size_t whySize);
    bool Load(const char *path, char *why, size_t whySize);

    // True when path was listed with that size and write time; *airports
    // then says whether it held an airport section.
    bool Known(const std::string &path, uint64_t size, uint64_t writeTime, bool *airports) const;
    void Add(const std::string &path, uint64_t size, uint64_t writeTime, bool airports);
    size_t Count() const { return files_.size(); }

    std::vector<uint8_t> Bytes() const;
    // Written beside and moved over the old one, so a start that ends midway
    // leaves the old index or none, never half of one.
    bool Save(const char *path) const;

private:
    struct File {
        uint64_t size, writeTime;
        bool airports;
    };
    std::unordered_map<std::string, File> files_;
    std::vector<std::string> order_;  // as added, so the bytes repeat
};

#endif
