// The reader on files built chunk by chunk.
#include <gtest/gtest.h>
#include <malloc.h>
#include <string.h>

#include "acm_decoder.h"
#include "wave_files.h"
#include "wave_stream.h"

namespace {

const uint16_t kFloatTag = 3;            // kFloatTag
const uint16_t kExtensibleTag = 0xFFFE;  // kExtensibleTag

class WaveStreamTest : public ::testing::Test {
protected:
    // Opens a file of these bytes in a fresh stream.
    HRESULT Open(const Bytes &bytes) {
        stream.CloseFile();  // the file is rewritten in place
        path = folder.Write("test.wav", bytes);
        return stream.OpenForReading(path.c_str());
    }
    Bytes ReadAll(HRESULT *result, DWORD piece = 4096) {
        Bytes all;
        std::vector<BYTE> buffer(piece);
        for (;;) {
            DWORD got = 12345;
            *result = stream.ReadData(buffer.data(), piece, &got);
            if (FAILED(*result) || got == 0) return all;
            all.append(reinterpret_cast<char *>(buffer.data()), got);
        }
    }

    TempFolder folder;
    std::string path;
    CWaveStream stream;
};

TEST_F(WaveStreamTest, RejectsFilesThatAreNotRiffWave) {
    Bytes fmtAndData = Chunk("fmt ", PcmFormatBody(1, 1, 8000, 8)) + Chunk("data", SampleBytes(10));
    EXPECT_EQ(E_FAIL, Open(Riff("AVI ", fmtAndData))) << "a RIFF file of another form type opened";
    Bytes list = Riff("WAVE", fmtAndData);
    memcpy(&list[0], "LIST", 4);
    EXPECT_EQ(E_FAIL, Open(list)) << "a first chunk other than RIFF opened";
    EXPECT_EQ(E_FAIL, Open(Bytes("RIFF"))) << "a file cut inside its header opened";
    EXPECT_EQ(E_FAIL, stream.OpenForReading("Z:\\no\\such\\file.wav"));
    EXPECT_EQ(0u, stream.DataSize());
    EXPECT_EQ(CO_E_NOTINITIALIZED, stream.SeekToData()) << "a failed header must leave no file open";
}

TEST_F(WaveStreamTest, FormatChunkNeedsItsSixteenPcmBytes) {
    Bytes data = Chunk("data", SampleBytes(10));
    EXPECT_EQ(E_FAIL, Open(Riff("WAVE", Chunk("fmt ", PcmFormatBody(1, 1, 8000, 8).substr(0, 14)) + data)));
    EXPECT_EQ(E_FAIL, Open(Riff("WAVE", data))) << "a file without a format chunk opened";

    ASSERT_EQ(S_OK, Open(Riff("WAVE", Chunk("fmt ", PcmFormatBody(1, 2, 44100, 16)) + data)));
    const WAVEFORMATEX *format = stream.Format();
    ASSERT_NE(nullptr, format);
    EXPECT_EQ(WAVE_FORMAT_PCM, format->wFormatTag);
    EXPECT_EQ(2, format->nChannels);
    EXPECT_EQ(44100u, format->nSamplesPerSec);
    EXPECT_EQ(176400u, format->nAvgBytesPerSec);
    EXPECT_EQ(4, format->nBlockAlign);
    EXPECT_EQ(16, format->wBitsPerSample);
    EXPECT_EQ(0, format->cbSize);
    EXPECT_EQ(10u, stream.DataSize());
}

TEST_F(WaveStreamTest, PcmIgnoresWhatFollowsTheSixteenBytes) {
    Bytes body = PcmFormatBody(1, 1, 8000, 8);
    AppendU16(&body, 0);
    ASSERT_EQ(S_OK, Open(Riff("WAVE", Chunk("fmt ", body) + Chunk("data", SampleBytes(4)))));
    EXPECT_EQ(0, stream.Format()->cbSize);

    body = PcmFormatBody(1, 1, 8000, 8);
    AppendU16(&body, 500);  // a PCM cbSize is meaningless and must not be read
    ASSERT_EQ(S_OK, Open(Riff("WAVE", Chunk("fmt ", body) + Chunk("data", SampleBytes(4)))));
    EXPECT_EQ(0, stream.Format()->cbSize);
    EXPECT_EQ(sizeof(WAVEFORMATEX), _msize(const_cast<WAVEFORMATEX *>(stream.Format())));
}

TEST_F(WaveStreamTest, NonPcmKeepsExactlyItsExtraBytes) {
    Bytes body = PcmFormatBody(kFloatTag, 1, 8000, 32);
    AppendU16(&body, 0);
    ASSERT_EQ(S_OK,
              Open(Riff("WAVE", Chunk("fmt ", body) + Chunk("fact", Bytes(4, '\1')) + Chunk("data", SampleBytes(8)))));
    EXPECT_EQ(kFloatTag, stream.Format()->wFormatTag);
    EXPECT_EQ(0, stream.Format()->cbSize);
    EXPECT_EQ(sizeof(WAVEFORMATEX), _msize(const_cast<WAVEFORMATEX *>(stream.Format())));

    body = PcmFormatBody(kExtensibleTag, 2, 48000, 24);
    AppendU16(&body, 22);
    Bytes extra = SampleBytes(22);
    ASSERT_EQ(S_OK, Open(Riff("WAVE", Chunk("fmt ", body + extra) + Chunk("data", SampleBytes(12)))));
    const WAVEFORMATEX *format = stream.Format();
    EXPECT_EQ(kExtensibleTag, format->wFormatTag);
    ASSERT_EQ(22, format->cbSize);
    EXPECT_EQ(0, memcmp(extra.data(), format + 1, 22)) << "the extra format bytes differ from the file's";
    EXPECT_EQ(sizeof(WAVEFORMATEX) + 22, _msize(const_cast<WAVEFORMATEX *>(format)));
    EXPECT_EQ(12u, stream.DataSize());

    body = PcmFormatBody(kExtensibleTag, 2, 48000, 24);
    AppendU16(&body, 22);
    EXPECT_EQ(E_FAIL, Open(Riff("WAVE", Chunk("fmt ", body + extra.substr(0, 5)))))
        << "extra bytes running past the end of the file were accepted";
}

// A compressed format's cbSize and extra bytes are read only from inside its
// own chunk: a 16-byte mu-law or A-law chunk has none, and what follows it is
// the next chunk's header ("da" read as cbSize would be 24,932 bytes).
TEST_F(WaveStreamTest, CompressedFormatReadsOnlyWithinItsChunk) {
    const struct {
        const char *what;
        uint16_t tag;
        Bytes beyondPcm;  // the fmt chunk's bytes after its 16 PCM bytes
        WORD cbSize;
    } cases[] = {
        {"16-byte mu-law", WAVE_FORMAT_MULAW, Bytes(), 0},
        {"16-byte A-law", WAVE_FORMAT_ALAW, Bytes(), 0},
        {"17-byte mu-law, a lone byte", WAVE_FORMAT_MULAW, Bytes(1, '\0'), 0},
        {"18-byte A-law claiming 40 extra bytes", WAVE_FORMAT_ALAW, Bytes("\x28\0", 2), 0},
        {"20-byte mu-law claiming 9 of its 2", WAVE_FORMAT_MULAW, Bytes("\x09\0\x11\x22", 4), 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes body = PcmFormatBody(c.tag, 1, 8000, 8);
        ASSERT_EQ(S_OK, Open(Riff("WAVE", Chunk("fmt ", body + c.beyondPcm) + Chunk("data", SampleBytes(100)))));
        EXPECT_EQ(c.cbSize, stream.Format()->cbSize);
        EXPECT_EQ(100u, stream.DataSize());
        // The platform's codec takes the format as read: 100 bytes to 16-bit.
        CAcmDecoder decoder;
        EXPECT_EQ(S_OK, decoder.Open(stream.Format(), stream.HeldDataSize()));
        EXPECT_EQ(200u, decoder.PcmBytes());
    }
}

TEST_F(WaveStreamTest, FindsDataInAnyOrderPastOtherChunks) {
    Bytes data = SampleBytes(101);
    ASSERT_EQ(S_OK, Open(Riff("WAVE", Chunk("data", data) + Chunk("fmt ", PcmFormatBody(1, 1, 8000, 8)))));
    HRESULT result;
    EXPECT_EQ(data, ReadAll(&result)) << "data standing before the format chunk";

    // Odd-sized chunks carry a pad byte that the chunk walk must step over.
    ASSERT_EQ(S_OK, Open(Riff("WAVE", Chunk("LIST", SampleBytes(3)) + Chunk("fmt ", PcmFormatBody(1, 1, 8000, 8)) +
                                          Chunk("fact", SampleBytes(5)) + Chunk("junk", Bytes()) + Chunk("data", data) +
                                          Chunk("cue ", SampleBytes(9)))));
    EXPECT_EQ(101u, stream.DataSize());
    EXPECT_EQ(data, ReadAll(&result)) << "data standing after other chunks";
    EXPECT_EQ(S_OK, result);
}

TEST_F(WaveStreamTest, MissingOrEmptyDataChunk) {
    EXPECT_EQ(E_FAIL, Open(Riff("WAVE", Chunk("fmt ", PcmFormatBody(1, 1, 8000, 8)))));
    EXPECT_EQ(0u, stream.DataSize());

    EXPECT_EQ(S_OK, Open(Riff("WAVE", Chunk("fmt ", PcmFormatBody(1, 1, 8000, 8)) + Chunk("data", Bytes()))));
    EXPECT_EQ(0u, stream.DataSize());
    BYTE byte = 0;
    DWORD got = 7;
    EXPECT_EQ(S_OK, stream.ReadData(&byte, 1, &got));
    EXPECT_EQ(0u, got);
}

TEST_F(WaveStreamTest, DataChunkClaimingMoreThanTheFileHoldsFailsToRead) {
    Bytes file =
        Riff("WAVE", Chunk("fmt ", PcmFormatBody(1, 1, 8000, 8)) + ChunkClaiming("data", 20000, SampleBytes(300)));
    ASSERT_EQ(S_OK, Open(file));
    EXPECT_EQ(20000u, stream.DataSize());
    EXPECT_EQ(300u, stream.HeldDataSize()) << "the file holds 300 bytes of its data chunk";
    std::vector<BYTE> buffer(20000);
    DWORD got = 99;
    EXPECT_EQ(E_FAIL, stream.ReadData(buffer.data(), 20000, &got));
    EXPECT_EQ(0u, got) << "a failed read must report no bytes";

    // Starting over works and fails the same way.
    EXPECT_EQ(S_OK, stream.SeekToData());
    got = 99;
    EXPECT_EQ(S_OK, stream.ReadData(buffer.data(), 300, &got)) << "the bytes the file does hold are readable";
    EXPECT_EQ(300u, got);
    EXPECT_EQ(E_FAIL, stream.ReadData(buffer.data(), 20000, &got));
}

TEST_F(WaveStreamTest, ReadsStopAtTheChunkEndAndSeekStartsOver) {
    Bytes data = SampleBytes(1000);
    ASSERT_EQ(S_OK, Open(Riff("WAVE", Chunk("fmt ", PcmFormatBody(1, 1, 8000, 8)) + Chunk("data", data) +
                                          Chunk("LIST", SampleBytes(64)))));
    EXPECT_EQ(1000u, stream.HeldDataSize()) << "a whole chunk is held whole, whatever follows it";
    std::vector<BYTE> buffer(5000, 0xEE);
    DWORD got = 0;
    ASSERT_EQ(S_OK, stream.ReadData(buffer.data(), 600, &got));
    EXPECT_EQ(600u, got);
    ASSERT_EQ(S_OK, stream.ReadData(buffer.data() + 600, 4000, &got));
    EXPECT_EQ(400u, got) << "a read asked for more than remains must return only what remains";
    EXPECT_EQ(0, memcmp(data.data(), buffer.data(), 1000));
    EXPECT_EQ(0xEE, buffer[1000]) << "a read wrote past the chunk's bytes";
    ASSERT_EQ(S_OK, stream.ReadData(buffer.data(), 4000, &got));
    EXPECT_EQ(0u, got) << "the chunk was read whole, yet bytes came back";

    ASSERT_EQ(S_OK, stream.SeekToData());
    std::vector<BYTE> again(1000);
    ASSERT_EQ(S_OK, stream.ReadData(again.data(), 1000, &got));
    EXPECT_EQ(1000u, got);
    EXPECT_EQ(0, memcmp(data.data(), again.data(), 1000)) << "after SeekToData the chunk must read from its start";
}

TEST_F(WaveStreamTest, PiecesAcrossTheIoBufferComeOutInOrder) {
    // Several times multimedia I/O's 8 KB buffer, read in awkward pieces.
    Bytes data = SampleBytes(70001);
    ASSERT_EQ(S_OK, Open(PcmWave(8, data)));
    const DWORD pieces[] = {1, 8191, 8192, 8193, 7, 30000};
    for (DWORD piece : pieces) {
        ASSERT_EQ(S_OK, stream.SeekToData());
        HRESULT result;
        EXPECT_EQ(data, ReadAll(&result, piece)) << "pieces of " << piece << " bytes";
        EXPECT_EQ(S_OK, result);
    }
}

TEST_F(WaveStreamTest, BadArgumentsAndNoFile) {
    BYTE byte;
    DWORD got;
    EXPECT_EQ(CO_E_NOTINITIALIZED, stream.ReadData(&byte, 1, &got));
    EXPECT_EQ(CO_E_NOTINITIALIZED, stream.SeekToData());
    ASSERT_EQ(S_OK, Open(PcmWave(16, SampleBytes(8))));
    EXPECT_EQ(E_INVALIDARG, stream.ReadData(nullptr, 1, &got));
    EXPECT_EQ(E_INVALIDARG, stream.ReadData(&byte, 1, nullptr));
    EXPECT_EQ(S_OK, stream.CloseFile());
    EXPECT_TRUE(FileIsClosed(path));
    EXPECT_EQ(CO_E_NOTINITIALIZED, stream.ReadData(&byte, 1, &got));
    EXPECT_EQ(S_OK, stream.CloseFile());
}

TEST_F(WaveStreamTest, ReopeningClosesTheFirstFile) {
    std::string first = folder.Write("first.wav", PcmWave(16, SampleBytes(8)));
    ASSERT_EQ(S_OK, stream.OpenForReading(first.c_str()));
    ASSERT_EQ(S_OK, Open(PcmWave(8, SampleBytes(3))));
    EXPECT_TRUE(FileIsClosed(first)) << "the stream kept its first file open";
    EXPECT_EQ(3u, stream.DataSize());
}

}  // namespace
