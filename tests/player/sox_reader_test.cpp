// The reader on files that sox wrote (folder in DROVANA_SOX_DIR, made by
// sox_reader_test.py).
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "acm_decoder.h"
#include "sox_manifest.h"
#include "wave_stream.h"

namespace {

class SoxReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        files = ReadSoxManifest(WindowsPathFromEnvironment("DROVANA_SOX_DIR"));
        ASSERT_FALSE(files.empty()) << "no sox files: run this program through sox_reader_test.py";
    }
    std::vector<SoxFile> files;
};

TEST_F(SoxReaderTest, FormatAndDataMatchWhatSoxWrote) {
    int checked = 0;
    for (const SoxFile &file : files) {
        if (file.expect != "open") continue;
        SCOPED_TRACE(file.name);
        CWaveStream stream;
        ASSERT_EQ(S_OK, stream.OpenForReading(file.path.c_str()));
        const WAVEFORMATEX *format = stream.Format();
        ASSERT_NE(nullptr, format);
        EXPECT_EQ(file.tag, format->wFormatTag);
        EXPECT_EQ(file.channels, format->nChannels);
        EXPECT_EQ(file.rate, format->nSamplesPerSec);
        EXPECT_EQ(file.bits, format->wBitsPerSample);
        EXPECT_EQ(file.cbSize, format->cbSize);
        if (file.dataSize != 0) {
            EXPECT_EQ(file.dataSize, stream.DataSize());
        }
        ASSERT_GT(stream.DataSize(), 0u);

        std::string data(stream.DataSize() + 100, '\0');
        DWORD got = 0;
        ASSERT_EQ(S_OK, stream.ReadData(reinterpret_cast<BYTE *>(&data[0]), static_cast<DWORD>(data.size()), &got));
        EXPECT_EQ(stream.DataSize(), got);
        data.resize(got);
        if (!file.rawPath.empty()) {
            EXPECT_TRUE(data == ReadWholeFile(file.rawPath)) << "the samples differ from sox's own raw dump";
        }
        ++checked;
    }
    EXPECT_GE(checked, 8);
}

TEST_F(SoxReaderTest, NonWaveFileWithAWavNameFails) {
    const SoxFile *aiff = FindSoxFile(files, "aiff_named.wav");
    ASSERT_NE(nullptr, aiff);
    CWaveStream stream;
    EXPECT_EQ(E_FAIL, stream.OpenForReading(aiff->path.c_str()));
    EXPECT_EQ(0u, stream.DataSize());
}

TEST_F(SoxReaderTest, PipedOutputWithUnfixedSizesOpensButCannotBeReadWhole) {
    const SoxFile *piped = FindSoxFile(files, "piped.wav");
    ASSERT_NE(nullptr, piped);
    CWaveStream stream;
    ASSERT_EQ(S_OK, stream.OpenForReading(piped->path.c_str()));
    std::string onDisk = ReadWholeFile(piped->path);
    EXPECT_GT(stream.DataSize(), onDisk.size()) << "sox could not fix the sizes, so the chunk claims too much";
    std::vector<BYTE> buffer(1 << 20);
    DWORD got = 77;
    EXPECT_EQ(E_FAIL, stream.ReadData(buffer.data(), static_cast<DWORD>(buffer.size()), &got));
    EXPECT_EQ(0u, got);
}

// The platform's codecs decode each compressed file to what sox decodes it
// to: the same number of samples in the same order, each within 1% of full
// scale (327) of sox's. Wine's and sox's MS ADPCM decoders round some
// predictions apart, and that drifts by up to about 75 within a block; the
// others agree exactly.
TEST_F(SoxReaderTest, CompressedFilesDecodeToWhatSoxDecodes) {
    int checked = 0;
    for (const SoxFile &file : files) {
        std::string expected = ReadWholeFile(file.path.substr(0, file.path.size() - 4) + ".s16");
        if (file.expect != "open" || expected.empty()) continue;
        SCOPED_TRACE(file.name);
        CWaveStream stream;
        ASSERT_EQ(S_OK, stream.OpenForReading(file.path.c_str()));
        CAcmDecoder decoder;
        ASSERT_EQ(S_OK, decoder.Open(stream.Format(), stream.HeldDataSize()));
        EXPECT_EQ(16, decoder.PcmFormat()->wBitsPerSample);
        EXPECT_EQ(file.channels, decoder.PcmFormat()->nChannels);
        EXPECT_EQ(file.rate, decoder.PcmFormat()->nSamplesPerSec);

        std::string pcm(decoder.PcmBytes(), '\0');
        DWORD got = 0;
        ASSERT_EQ(S_OK, decoder.Decode(&stream, reinterpret_cast<BYTE *>(&pcm[0]), decoder.PcmBytes(), &got));
        ASSERT_EQ(expected.size(), got) << "decoded length differs from sox's";
        int worst = 0;
        for (size_t i = 0; i + 1 < got; i += 2) {
            const int ours =
                static_cast<int16_t>(static_cast<uint8_t>(pcm[i]) | (static_cast<uint8_t>(pcm[i + 1]) << 8));
            const int sox =
                static_cast<int16_t>(static_cast<uint8_t>(expected[i]) | (static_cast<uint8_t>(expected[i + 1]) << 8));
            worst = std::max(worst, abs(ours - sox));
        }
        EXPECT_LE(worst, 327);
        ++checked;
    }
    EXPECT_EQ(4, checked) << "MS ADPCM, IMA ADPCM, mu-law and A-law";
}

}  // namespace
