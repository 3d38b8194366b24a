// Thousands of damaged variants of valid files through the reader: every one
// must end in S_OK or a failure code, hand out no more than the data chunk
// claims, write no byte past what was asked for, and leave no file handle or
// heap memory behind.
#include <gtest/gtest.h>
#include <string.h>

#include "replayable_random.h"
#include "wave_files.h"
#include "wave_stream.h"

namespace {

struct Sample {
    Bytes file;
    std::vector<size_t> sizeFields;  // offsets of every chunk size in the file
    size_t cbSizeField;              // offset of cbSize, 0 when the format has none
};

Bytes WithExtra(Bytes body, uint16_t extra) {
    AppendU16(&body, extra);
    return body + SampleBytes(extra);
}

// Records where the size fields of a well-formed file stand.
Sample Describe(const Bytes &file) {
    Sample sample;
    sample.file = file;
    sample.cbSizeField = 0;
    sample.sizeFields.push_back(4);
    size_t at = 12;
    while (at + 8 <= file.size()) {
        uint32_t size = static_cast<uint8_t>(file[at + 4]) | static_cast<uint8_t>(file[at + 5]) << 8 |
                        static_cast<uint8_t>(file[at + 6]) << 16 |
                        static_cast<uint32_t>(static_cast<uint8_t>(file[at + 7])) << 24;
        sample.sizeFields.push_back(at + 4);
        if (file.compare(at, 4, "fmt ") == 0 && size >= 18) sample.cbSizeField = at + 8 + 16;
        at += 8 + size + (size & 1);
    }
    return sample;
}

std::vector<Sample> Samples() {
    std::vector<Sample> samples;
    samples.push_back(Describe(Riff("WAVE", Chunk("fmt ", PcmFormatBody(1, 2, 44100, 16)) +
                                                Chunk("data", SampleBytes(3000)) + Chunk("LIST", SampleBytes(21)))));
    samples.push_back(
        Describe(Riff("WAVE", Chunk("data", SampleBytes(777)) + Chunk("fmt ", PcmFormatBody(1, 1, 8000, 8)))));
    samples.push_back(Describe(Riff("WAVE", Chunk("fmt ", WithExtra(PcmFormatBody(3, 1, 22050, 32), 0)) +
                                                Chunk("fact", SampleBytes(4)) + Chunk("data", SampleBytes(2048)))));
    samples.push_back(Describe(Riff(
        "WAVE", Chunk("fmt ", WithExtra(PcmFormatBody(0xFFFE, 2, 48000, 24), 22)) + Chunk("data", SampleBytes(9000)))));
    return samples;
}

void PutU32(Bytes *file, size_t at, uint32_t value) {
    for (int i = 0; i < 4 && at + i < file->size(); ++i) (*file)[at + i] = static_cast<char>(value >> (8 * i));
}

uint32_t OddSize(ReplayableRandom *random) {
    static const uint32_t kSizes[] = {0,          1,          2,          3,          4,          7,
                                      14,         15,         16,         17,         18,         0x7FFFFFFF,
                                      0x80000000, 0xFFFFFFF0, 0xFFFFFFF8, 0xFFFFFFFC, 0xFFFFFFFE, 0xFFFFFFFF};
    if (random->Below(4) == 0) return random->Next() << 8 | random->Below(256);
    return kSizes[random->Below(sizeof(kSizes) / sizeof(kSizes[0]))];
}

Bytes Mutate(const Sample &sample, ReplayableRandom *random) {
    Bytes file = sample.file;
    int changes = 1 + static_cast<int>(random->Below(3));
    for (int change = 0; change < changes; ++change) {
        switch (random->Below(5)) {
        case 0: {  // random bytes
            int count = 1 + static_cast<int>(random->Below(8));
            for (int i = 0; i < count; ++i)
                file[random->Below(static_cast<uint32_t>(file.size()))] = static_cast<char>(random->Below(256));
            break;
        }
        case 1:  // cut short
            file.resize(random->Below(static_cast<uint32_t>(file.size())));
            break;
        case 2:  // a chunk size near 0 or near 0xFFFFFFFF
        case 3:
            PutU32(&file, sample.sizeFields[random->Below(static_cast<uint32_t>(sample.sizeFields.size()))],
                   OddSize(random));
            break;
        default:  // any cbSize, on a format tag that makes the reader use it
            if (sample.cbSizeField != 0 && sample.cbSizeField + 2 <= file.size()) {
                uint32_t cbSize = random->Below(2) ? 65535 - random->Below(16) : random->Below(65536);
                file[sample.cbSizeField] = static_cast<char>(cbSize & 0xFF);
                file[sample.cbSizeField + 1] = static_cast<char>(cbSize >> 8);
                if (random->Below(2)) file[sample.cbSizeField - 16] = 3;
            }
            break;
        }
        if (file.empty()) break;
    }
    return file;
}

// Bytes in use on every heap of the process.
size_t BusyHeapBytes() {
    HANDLE heaps[64];
    DWORD count = GetProcessHeaps(64, heaps);
    size_t busy = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    return busy;
}

DWORD HandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

bool IsResult(HRESULT result) { return result == S_OK || FAILED(result); }

const BYTE kCanary = 0xA5;
const DWORD kMaxPiece = 8192;
const int kVariants = 3000;

// One variant through open and a full read; returns false with a reason.
bool ReadVariant(const std::string &path, ReplayableRandom *random, std::string *why) {
    CWaveStream *stream = new CWaveStream();
    HRESULT opened = stream->OpenForReading(path.c_str());
    bool good = true;
    if (!IsResult(opened)) {
        *why = "OpenForReading gave a result that is neither S_OK nor a failure";
        good = false;
    }
    if (SUCCEEDED(opened) && stream->Format() == nullptr) {
        *why = "opened without a format";
        good = false;
    }
    std::vector<BYTE> buffer(kMaxPiece + 16);
    for (int pass = 0; pass < 2 && good; ++pass) {
        HRESULT sought = stream->SeekToData();
        if (!IsResult(sought)) {
            *why = "SeekToData gave an odd result";
            good = false;
            break;
        }
        uint64_t total = 0;
        for (int read = 0; good; ++read) {
            DWORD piece = 1 + random->Below(kMaxPiece);
            memset(buffer.data(), kCanary, buffer.size());
            DWORD got = 0xDEAD;
            HRESULT result = stream->ReadData(buffer.data(), piece, &got);
            if (!IsResult(result)) {
                *why = "ReadData gave an odd result";
                good = false;
            } else if (FAILED(result)) {
                if (got != 0 && got != 0xDEAD) *why = "a failed read reported bytes", good = false;
                break;
            } else if (got > piece) {
                *why = "a read handed out more than was asked for";
                good = false;
            } else {
                for (DWORD i = piece; i < buffer.size(); ++i) {
                    if (buffer[i] != kCanary) {
                        *why = "a read wrote past the bytes asked for";
                        good = false;
                        break;
                    }
                }
                total += got;
                if (total > stream->DataSize()) {
                    *why = "reads handed out more than dataSize bytes";
                    good = false;
                }
                if (got == 0) break;
            }
            if (read > 100000) {
                *why = "reading never came to an end";
                good = false;
            }
        }
    }
    delete stream;
    if (good && !FileIsClosed(path)) {
        *why = "the destroyed stream left its file open";
        good = false;
    }
    return good;
}

TEST(WaveMutationTest, DamagedFilesFailSafely) {
    TempFolder folder;
    std::vector<Sample> samples = Samples();
    ReplayableRandom random(20261208);

    // The first rounds settle lazily made state (multimedia I/O, the heaps).
    const int kWarmUp = 100;
    size_t heapBefore = 0;
    DWORD handlesBefore = 0;
    int failures = 0;
    for (int variant = 0; variant < kVariants + kWarmUp; ++variant) {
        if (variant == kWarmUp) {
            heapBefore = BusyHeapBytes();
            handlesBefore = HandleCount();
        }
        const Sample &sample = samples[static_cast<size_t>(variant) % samples.size()];
        std::string path = folder.Write("variant.wav", Mutate(sample, &random));
        ASSERT_FALSE(path.empty()) << "could not write variant " << variant;
        std::string why;
        if (!ReadVariant(path, &random, &why)) {
            ADD_FAILURE() << "variant " << variant << " of sample " << variant % samples.size() << ": " << why;
            if (++failures > 10) break;
        }
    }
    size_t heapAfter = BusyHeapBytes();
    DWORD handlesAfter = HandleCount();
    // A leaked format record or multimedia I/O buffer per variant would add
    // tens of kilobytes to megabytes over the loop.
    EXPECT_LT(heapAfter, heapBefore + 16 * 1024) << "heap in use grew from " << heapBefore << " to " << heapAfter;
    EXPECT_LE(handlesAfter, handlesBefore + 2) << "handles grew from " << handlesBefore << " to " << handlesAfter;
}

}  // namespace
