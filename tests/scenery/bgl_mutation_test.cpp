// Thousands of damaged variants of writer-made files through the reader and
// the map: every one must end in a file read or a file skipped with a reason,
// and whatever is read must hold together (every path joins points and spots
// that exist), so that the map can answer over it. What the map keeps of each
// variant for the index must give the same map again, and kept bytes damaged
// must be refused or added safely.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>

#include "replayable_random.h"
#include "airport_map.h"
#include "bgl_reader.h"
#include "scenery_files.h"

namespace {

// The offsets of every size, count and offset field of a well-formed file.
std::vector<size_t> Fields(const BglBytes &b) {
    std::vector<size_t> fields = {0x14};
    const size_t sections = ReadU32(b, 0x14);
    for (size_t s = 0; s < sections; ++s) {
        const size_t entry = 0x38 + 20 * s;
        for (size_t f = 4; f < 20; f += 4) fields.push_back(entry + f);
        const size_t table = ReadU32(b, entry + 12), count = ReadU32(b, entry + 8);
        for (size_t i = 0; i < count; ++i) {
            const size_t sub = table + 16 * i;
            for (size_t f = 4; f < 16; f += 4) fields.push_back(sub + f);
            size_t record = ReadU32(b, sub + 8);
            const size_t end = record + ReadU32(b, sub + 12);
            for (; record + 6 <= end; record += ReadU32(b, record + 2)) {
                fields.push_back(record + 2);
                for (size_t at = record + 0x38; at + 8 <= record + ReadU32(b, record + 2); at += ReadU32(b, at + 2)) {
                    // Its size, its count, and the first entry's first indexes, as far as it holds them.
                    for (size_t f : {at + 2, at + 6, at + 8, at + 10})
                        if (f + 4 <= at + ReadU32(b, at + 2)) fields.push_back(f);
                }
            }
        }
    }
    return fields;
}

// The bytes placed so that they end where an inaccessible page begins: a
// read one byte past them faults at once instead of passing unseen.
class GuardedBytes {
public:
    explicit GuardedBytes(const BglBytes &bytes) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const size_t page = info.dwPageSize;
        span_ = (bytes.size() + page - 1) / page * page + page;
        base_ = static_cast<uint8_t *>(VirtualAlloc(nullptr, span_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base_ + span_ - page, page, PAGE_NOACCESS, &old);
        data_ = base_ + span_ - page - bytes.size();
        if (!bytes.empty()) memcpy(data_, bytes.data(), bytes.size());
    }
    ~GuardedBytes() { VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedBytes(const GuardedBytes &) = delete;
    GuardedBytes &operator=(const GuardedBytes &) = delete;
    const uint8_t *Data() const { return data_; }

private:
    uint8_t *base_, *data_;
    size_t span_;
};

// Values that break things: zero, small, just past, huge, all ones.
uint32_t Hostile(ReplayableRandom *random, uint32_t size) {
    const uint32_t values[] = {0,        1,          5,           6,           7,      size,    size + 1,
                               size - 1, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0xFFFF, 0x10000, random->Next()};
    return values[random->Below(sizeof values / sizeof values[0])];
}

void CheckHoldsTogether(const BglFileContents &contents, size_t size, const std::string &variant) {
    for (const BglAirport &a : contents.airports) {
        // Every entry came out of the file: no count larger than the file.
        ASSERT_LE(a.points.size() * 12 + a.parking.size() * 36 + a.names.size() * 8, size) << variant;
        for (const BglPath &p : a.paths) {
            ASSERT_LT(p.start, a.points.size()) << variant;
            ASSERT_LT(p.end, p.type == MAP_PATH_PARKING ? a.parking.size() : a.points.size()) << variant;
        }
        for (const BglTaxiName &n : a.names) ASSERT_LE(strlen(n.text), 8u) << variant;
        ASSERT_NE('\0', a.icao[0]) << variant;
    }
}

TEST(BglMutation, ThreeThousandDamagedFilesAreReadOrSkippedSafely) {
    const char *seeds[] = {"sample", "lower", "higher", "delete", "p3d5"};
    const int kPerSeed = 800;  // 4,000 variants in all
    int skippedFiles = 0, skippedAirports = 0, read = 0;
    for (const char *seed : seeds) {
        const BglBytes original = TestAirport(seed);
        ASSERT_FALSE(original.empty()) << TestAirportPath(seed);
        const std::vector<size_t> fields = Fields(original);
        ReplayableRandom random(0x5EED0000u + static_cast<uint32_t>(original.size()));
        // The map as a start from the index builds it (from what map took of
        // each variant), and one from those records damaged.
        AirportMap map, fromIndex, fromDamaged;
        for (int n = 0; n < kPerSeed; ++n) {
            BglBytes bytes = original;
            const uint32_t size = static_cast<uint32_t>(bytes.size());
            switch (n % 5) {
            case 0:  // truncated anywhere
                bytes.resize(random.Below(size));
                break;
            case 1:  // one size, count or offset field set to a hostile value
            case 2:
                WriteU32(&bytes, fields[random.Below(static_cast<uint32_t>(fields.size()))], Hostile(&random, size));
                break;
            case 3:  // a few random bytes anywhere
                for (uint32_t k = 1 + random.Below(8); k > 0; --k) bytes[random.Below(size)] = random.Next() & 0xFF;
                break;
            case 4:  // the header kept, the rest random
                for (size_t i = 0x38 + 20; i < bytes.size(); ++i) bytes[i] = random.Next() & 0xFF;
                break;
            }
            const std::string variant = std::string(seed) + " variant " + std::to_string(n);
            BglFileContents contents;
            char why[kBglWhySize];
            const GuardedBytes guarded(bytes);
            if (ReadBglAirports(guarded.Data(), bytes.size(), &contents, why, sizeof why)) {
                ++read;
                skippedAirports += static_cast<int>(contents.skippedAirports.size());
                for (const BglSkip &skip : contents.skippedAirports) ASSERT_NE('\0', skip.why[0]) << variant;
                CheckHoldsTogether(contents, bytes.size(), variant);
            } else {
                ++skippedFiles;
                ASSERT_NE('\0', why[0]) << variant << ": skipped without a reason";
                ASSERT_TRUE(contents.airports.empty()) << variant;
            }
            struct : MapNotes {
                int skips = 0;
                void Skipped(const char *, const char *, const char *) override { ++skips; }
                void Library(const char *) override {}
            } quiet;
            std::vector<uint8_t> taken;
            map.AddFile("variant.bgl", n, contents, &quiet, &taken);
            const int skipsRead = quiet.skips;
            quiet.skips = 0;
            ASSERT_TRUE(AirportMap::TakenAddsUp(taken.data(), taken.size()))
                << variant << ": its record does not add up";
            fromIndex.AddTaken("variant.bgl", n, taken.data(), taken.size(), &quiet);
            ASSERT_EQ(skipsRead, quiet.skips) << variant << ": its skipped airports not said again from its record";
            // A record that still adds up once damaged is added without a
            // read past its bytes.
            taken[random.Below(static_cast<uint32_t>(taken.size()))] = random.Next() & 0xFF;
            taken.resize(taken.size() - random.Below(2));
            const GuardedBytes damaged(taken);
            if (AirportMap::TakenAddsUp(damaged.Data(), taken.size()))
                fromDamaged.AddTaken("variant.bgl", n, damaged.Data(), taken.size(), &quiet);
        }
        MapAnswerHeader header = {}, again = {};
        static MapPath paths[kMapMaxPaths], pathsAgain[kMapMaxPaths];
        for (AirportMap *built : {&map, &fromIndex, &fromDamaged}) {
            built->Compact();
            built->Answer(40.0, -75.0, &header, paths, kMapMaxPaths);
            EXPECT_EQ(sizeof header + header.pathCount * sizeof(MapPath), header.size) << seed;
        }
        EXPECT_EQ(map.Idents(), fromIndex.Idents()) << seed;
        map.Answer(40.0, -75.0, &header, paths, kMapMaxPaths);
        fromIndex.Answer(40.0, -75.0, &again, pathsAgain, kMapMaxPaths);
        EXPECT_EQ(0, memcmp(&header, &again, sizeof header)) << seed << ": the map from the records answers otherwise";
        EXPECT_EQ(0, memcmp(paths, pathsAgain, header.pathCount * sizeof(MapPath))) << seed;
    }
    // Each kind of outcome met, or the variants test less than they seem to.
    EXPECT_GT(skippedFiles, 500);
    EXPECT_GT(skippedAirports, 50);
    EXPECT_GT(read, 500);
}

}  // namespace
