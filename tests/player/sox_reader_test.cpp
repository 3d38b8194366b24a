// The reader on files that sox wrote (folder in DROVANA_SOX_DIR, made by
// sox_reader_test.py).
#include <gtest/gtest.h>
#include <string.h>

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
    for (const SoxFile& file : files) {
        if (file.expect != "open") continue;
        SCOPED_TRACE(file.name);
        CWaveStream stream;
        ASSERT_EQ(S_OK, stream.OpenForReading(file.path.c_str()));
        const WAVEFORMATEX* format = stream.Format();
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
        ASSERT_EQ(S_OK, stream.ReadData(reinterpret_cast<BYTE*>(&data[0]), static_cast<DWORD>(data.size()), &got));
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
    const SoxFile* aiff = FindSoxFile(files, "aiff_named.wav");
    ASSERT_NE(nullptr, aiff);
    CWaveStream stream;
    EXPECT_EQ(E_FAIL, stream.OpenForReading(aiff->path.c_str()));
    EXPECT_EQ(0u, stream.DataSize());
}

TEST_F(SoxReaderTest, PipedOutputWithUnfixedSizesOpensButCannotBeReadWhole) {
    const SoxFile* piped = FindSoxFile(files, "piped.wav");
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

}  // namespace
