// Every language's voice cues read by the player's own reader (the folder in
// DROVANA_SOX_DIR, listed by cue_sets_test.py): each is the mono 16-bit PCM
// the sets are made as, audible, and as short as a cue should be.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>

#include <string>

#include "sox_manifest.h"
#include "wave_stream.h"

namespace {

// 10% of full scale: espeak-ng speaks near 45% at its quietest; silence, or a
// set spoiled by the trim, comes nowhere near.
const int kPeakFloor = 3277;
// Milliseconds: a word or two at the least, a short sentence at the most.
const DWORD kShortestMs = 300;
const DWORD kLongestMs = 4000;

TEST(CueSets, EveryCueIsAShortAudibleWaveTheReaderTakes) {
    const std::vector<SoxFile> files = ReadSoxManifest(WindowsPathFromEnvironment("DROVANA_SOX_DIR"));
    const char *expected = getenv("DROVANA_CUE_COUNT");
    ASSERT_NE(nullptr, expected) << "run this program through cue_sets_test.py";
    ASSERT_EQ(strtoul(expected, nullptr, 10), files.size());
    for (const SoxFile &file : files) {
        SCOPED_TRACE(file.name);
        CWaveStream stream;
        ASSERT_EQ(S_OK, stream.OpenForReading(file.path.c_str()));
        const WAVEFORMATEX *format = stream.Format();
        ASSERT_NE(nullptr, format);
        EXPECT_EQ(WAVE_FORMAT_PCM, format->wFormatTag);
        EXPECT_EQ(1, format->nChannels);
        EXPECT_LE(format->nSamplesPerSec, 22050u);
        ASSERT_EQ(16, format->wBitsPerSample);
        EXPECT_EQ(file.dataSize, stream.DataSize());
        ASSERT_EQ(stream.DataSize(), stream.HeldDataSize());

        std::string data(stream.DataSize(), '\0');
        DWORD got = 0;
        ASSERT_EQ(S_OK, stream.ReadData(reinterpret_cast<BYTE *>(&data[0]), static_cast<DWORD>(data.size()), &got));
        ASSERT_EQ(data.size(), got);
        int peak = 0;
        for (size_t i = 0; i + 1 < data.size(); i += 2) {
            const int sample = static_cast<short>(static_cast<unsigned char>(data[i]) |
                                                  (static_cast<unsigned char>(data[i + 1]) << 8));
            peak = std::max(peak, abs(sample));
        }
        EXPECT_GT(peak, kPeakFloor);
        const DWORD ms = static_cast<DWORD>(1000ull * got / format->nAvgBytesPerSec);
        EXPECT_GE(ms, kShortestMs);
        EXPECT_LE(ms, kLongestMs);
    }
}

}  // namespace
