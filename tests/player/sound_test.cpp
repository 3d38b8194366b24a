// CSound and CSoundDevice::LoadSound against DirectSound objects in memory.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>

#include "fake_direct_sound.h"
#include "sound.h"
#include "sound_device.h"
#include "wave_files.h"

namespace {

class SoundTest : public ::testing::Test {
protected:
    // A stream opened on a fresh file with this data.
    CWaveStream *OpenStream(uint16_t bits, const Bytes &data, const char *name = "sound.wav") {
        std::string path = folder.Write(name, PcmWave(bits, data));
        CWaveStream *stream = new CWaveStream();
        EXPECT_EQ(S_OK, stream->OpenForReading(path.c_str()));
        return stream;
    }
    static int Count(const FakeSoundBuffer &buffer, const char *call) {
        return static_cast<int>(std::count(buffer.calls.begin(), buffer.calls.end(), call));
    }

    TempFolder folder;
};

TEST_F(SoundTest, ConstructionFillsTheBufferWithTheWholeDataChunk) {
    Bytes data = SampleBytes(20000);
    FakeSoundBuffer buffer(20000);
    {
        CSound sound(&buffer, 20000, OpenStream(16, data));
        EXPECT_EQ(0, memcmp(data.data(), buffer.memory.data(), data.size())) << "the buffer does not hold the data";
        EXPECT_EQ(1, buffer.locks);
        EXPECT_EQ(1, buffer.unlocks);
        EXPECT_EQ(0, Count(buffer, "Play")) << "loading must not start playback";
        EXPECT_EQ(0, sound.IsAnyBufferPlaying());
    }
    EXPECT_EQ(0, buffer.references) << "the sound did not release its buffer";
}

TEST_F(SoundTest, BytesBeyondTheDataAreSilence) {
    FakeSoundBuffer eightBit(110);
    CSound quiet8(&eightBit, 110, OpenStream(8, SampleBytes(100), "eight.wav"));
    for (int i = 100; i < 110; ++i) EXPECT_EQ(0x80, eightBit.memory[i]) << "8-bit padding at byte " << i;
    EXPECT_NE(0x80, eightBit.memory[99]);

    FakeSoundBuffer sixteenBit(110);
    CSound quiet16(&sixteenBit, 110, OpenStream(16, SampleBytes(100), "sixteen.wav"));
    for (int i = 100; i < 110; ++i) EXPECT_EQ(0x00, sixteenBit.memory[i]) << "16-bit padding at byte " << i;
    EXPECT_NE(0x00, sixteenBit.memory[99]);
}

TEST_F(SoundTest, PlaysOnceFromTheStart) {
    FakeSoundBuffer buffer(64);
    CSound sound(&buffer, 64, OpenStream(16, SampleBytes(64)));
    EXPECT_EQ(S_OK, sound.StartPlayback());
    EXPECT_EQ(0u, buffer.playFlags) << "a cue plays once, never looping";
    EXPECT_EQ(0, Count(buffer, "SetVolume") + Count(buffer, "SetPan")) << "the buffer has no volume or pan control";
    EXPECT_EQ(1, sound.IsAnyBufferPlaying());
    buffer.status = 0;  // DirectSound reached the end
    EXPECT_EQ(0, sound.IsAnyBufferPlaying());
}

TEST_F(SoundTest, LostBufferIsRestoredRefilledFromTheStartAndPlayed) {
    Bytes data = SampleBytes(30000);
    FakeSoundBuffer buffer(30000);
    CSound sound(&buffer, 30000, OpenStream(16, data));
    buffer.calls.clear();
    buffer.status = DSBSTATUS_BUFFERLOST;
    buffer.restoresStillLost = 3;

    EXPECT_EQ(S_OK, sound.StartPlayback());
    EXPECT_EQ(0, memcmp(data.data(), buffer.memory.data(), data.size()))
        << "the restored buffer was not refilled from the start of the data chunk";
    std::vector<std::string>::iterator lock = std::find(buffer.calls.begin(), buffer.calls.end(), "Lock");
    std::vector<std::string>::iterator play = std::find(buffer.calls.begin(), buffer.calls.end(), "Play");
    ASSERT_NE(buffer.calls.end(), play) << "the restored buffer was not played";
    EXPECT_LT(lock - buffer.calls.begin(), play - buffer.calls.begin()) << "played before it was refilled";
    EXPECT_EQ(4, buffer.restoreCalls);
    EXPECT_EQ(1, sound.IsAnyBufferPlaying());

    // Lost again later: the file is still open for a second refill.
    buffer.status = DSBSTATUS_BUFFERLOST;
    EXPECT_EQ(S_OK, sound.StartPlayback());
    EXPECT_EQ(0, memcmp(data.data(), buffer.memory.data(), data.size())) << "second refill";
}

TEST_F(SoundTest, BufferThatStaysLostIsGivenUp) {
    FakeSoundBuffer buffer(16);
    CSound sound(&buffer, 16, OpenStream(16, SampleBytes(16)));
    buffer.status = DSBSTATUS_BUFFERLOST;
    buffer.restoresStillLost = -1;
    EXPECT_EQ(DSERR_BUFFERLOST, sound.StartPlayback()) << "a device that never comes back must not freeze the player";
    // 300 passes of two Restore calls with 10 ms between: about three seconds
    // in which the player answers nothing.
    EXPECT_EQ(600, buffer.restoreCalls) << "the player gives up after 300 restore passes";
    EXPECT_EQ(0, Count(buffer, "Play"));
}

TEST_F(SoundTest, LostAtLoadTimeIsRestoredBeforeFilling) {
    Bytes data = SampleBytes(500);
    FakeSoundBuffer buffer(500);
    buffer.status = DSBSTATUS_BUFFERLOST;
    buffer.restoresStillLost = 1;
    CSound sound(&buffer, 500, OpenStream(16, data));
    EXPECT_EQ(0, memcmp(data.data(), buffer.memory.data(), data.size()));
}

TEST_F(SoundTest, FailedFillStillMakesAPlayableSound) {
    FakeSoundBuffer buffer(32);
    buffer.lockResult = DSERR_INVALIDCALL;
    CSound sound(&buffer, 32, OpenStream(16, SampleBytes(32)));
    EXPECT_EQ(0, buffer.unlocks);
    EXPECT_EQ(S_OK, sound.StartPlayback());
}

class LoadSoundTest : public SoundTest {
protected:
    LoadSoundTest() : device(&direct) {}
    ~LoadSoundTest() override { delete current; }
    FakeDirectSound direct;  // outlives the device, which releases it
    FakeDirectSound *fake = &direct;
    CSoundDevice device;
    CSound *current = nullptr;
};

TEST_F(LoadSoundTest, DescribesOneGlobalFocusBufferOfTheWholeChunk) {
    std::string path = folder.Write("one.wav", PcmWave(16, SampleBytes(4410)));
    ASSERT_EQ(S_OK, device.LoadSound(path.c_str(), GUID_NULL, &current));
    ASSERT_NE(nullptr, current);
    // The record's own size: 36 bytes in the 32-bit player that ships, 40 in a 64-bit build.
    EXPECT_EQ(sizeof(void *) == 4 ? 36u : 40u, fake->lastDescription.dwSize);
    EXPECT_EQ(static_cast<DWORD>(DSBCAPS_GLOBALFOCUS), fake->lastDescription.dwFlags);
    EXPECT_EQ(4410u, fake->lastDescription.dwBufferBytes);
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, fake->lastDescription.guid3DAlgorithm));
    EXPECT_EQ(WAVE_FORMAT_PCM, fake->lastFormat.wFormatTag);
    EXPECT_EQ(22050u, fake->lastFormat.nSamplesPerSec);
    EXPECT_EQ(16, fake->lastFormat.wBitsPerSample);
}

TEST_F(LoadSoundTest, SecondFileReleasesTheFirstBufferAndClosesItsFile) {
    std::string first = folder.Write("first.wav", PcmWave(16, SampleBytes(100)));
    std::string second = folder.Write("second.wav", PcmWave(8, SampleBytes(50)));
    ASSERT_EQ(S_OK, device.LoadSound(first.c_str(), GUID_NULL, &current));
    EXPECT_FALSE(FileIsClosed(first)) << "the sound must keep its file open for refills";
    ASSERT_EQ(S_OK, device.LoadSound(second.c_str(), GUID_NULL, &current));
    ASSERT_EQ(2u, fake->created.size());
    EXPECT_EQ(1, fake->created[0]->references) << "the first buffer was not released";
    EXPECT_TRUE(FileIsClosed(first)) << "the first sound's file is still open";
    EXPECT_EQ(2, fake->created[1]->references) << "the second buffer must be held";
    EXPECT_FALSE(FileIsClosed(second));
}

TEST_F(LoadSoundTest, FailedLoadAfterAGoodOneLeavesNoSound) {
    std::string good = folder.Write("good.wav", PcmWave(16, SampleBytes(100)));
    std::string bad = folder.Write("bad.wav", Bytes("this is no RIFF file"));
    std::string empty = folder.Write("empty.wav", PcmWave(16, Bytes()));
    ASSERT_EQ(S_OK, device.LoadSound(good.c_str(), GUID_NULL, &current));
    EXPECT_EQ(E_FAIL, device.LoadSound(bad.c_str(), GUID_NULL, &current));
    EXPECT_EQ(nullptr, current);
    EXPECT_EQ(1, fake->created[0]->references) << "the earlier sound survived a failed load";
    EXPECT_TRUE(FileIsClosed(good));
    EXPECT_TRUE(FileIsClosed(bad));

    EXPECT_EQ(E_FAIL, device.LoadSound(empty.c_str(), GUID_NULL, &current)) << "an empty data chunk";
    EXPECT_TRUE(FileIsClosed(empty));
    EXPECT_EQ(1u, fake->created.size()) << "no buffer may be made for an empty data chunk";
}

TEST_F(LoadSoundTest, AFileCutShortGetsABufferOfWhatItHoldsAndPlaysThat) {
    // 144 bytes in all, claiming 0x0FFFFFF0 bytes of 8-bit mono data.
    Bytes data = SampleBytes(100);
    std::string cut = folder.Write(
        "cut.wav", Riff("WAVE", Chunk("fmt ", PcmFormatBody(1, 1, 8000, 8)) + ChunkClaiming("data", 0x0FFFFFF0, data)));
    ASSERT_EQ(S_OK, device.LoadSound(cut.c_str(), GUID_NULL, &current));
    ASSERT_NE(nullptr, current);
    EXPECT_EQ(100u, fake->lastDescription.dwBufferBytes) << "the buffer must hold what the file holds, not its claim";
    ASSERT_EQ(1u, fake->created.size());
    EXPECT_EQ(0, memcmp(data.data(), fake->created[0]->memory.data(), data.size()));
    EXPECT_EQ(S_OK, current->StartPlayback());
    fake->created[0]->status = 0;  // DirectSound reached the end of the 100 bytes
    EXPECT_EQ(0, current->IsAnyBufferPlaying());

    // 16-bit stereo cut inside a sample frame: only whole frames are played.
    std::string midFrame = folder.Write("mid.wav", Riff("WAVE", Chunk("fmt ", PcmFormatBody(1, 2, 22050, 16)) +
                                                                    ChunkClaiming("data", 40000, SampleBytes(102))));
    ASSERT_EQ(S_OK, device.LoadSound(midFrame.c_str(), GUID_NULL, &current));
    EXPECT_EQ(100u, fake->lastDescription.dwBufferBytes);

    // Cut right after the chunk header: nothing to play, no buffer.
    std::string empty = folder.Write(
        "bare.wav", Riff("WAVE", Chunk("fmt ", PcmFormatBody(1, 1, 8000, 8)) + ChunkClaiming("data", 5000, Bytes())));
    EXPECT_EQ(E_FAIL, device.LoadSound(empty.c_str(), GUID_NULL, &current));
    EXPECT_EQ(nullptr, current);
    EXPECT_EQ(2u, fake->created.size());
}

TEST_F(LoadSoundTest, RefusedFormatIsReportedAndNoVirtualizationIsNot) {
    std::string path = folder.Write("refused.wav", PcmWave(16, SampleBytes(100)));
    fake->createResult = DSERR_BADFORMAT;
    EXPECT_EQ(DSERR_BADFORMAT, device.LoadSound(path.c_str(), GUID_NULL, &current));
    EXPECT_EQ(nullptr, current);
    EXPECT_TRUE(FileIsClosed(path));

    fake->createResult = DS_NO_VIRTUALIZATION;
    EXPECT_EQ(DS_NO_VIRTUALIZATION, device.LoadSound(path.c_str(), GUID_NULL, &current));
    ASSERT_NE(nullptr, current) << "DS_NO_VIRTUALIZATION is a success: the sound must be made";
    EXPECT_EQ(S_OK, current->StartPlayback());
}

TEST_F(SoundTest, NoDeviceFailsEveryLoadAndDropsTheCurrentSound) {
    std::string path = folder.Write("any.wav", PcmWave(16, SampleBytes(100)));
    CSoundDevice closed;
    FakeSoundBuffer buffer(100);
    CSound *current = new CSound(&buffer, 100, OpenStream(16, SampleBytes(100), "old.wav"));
    EXPECT_EQ(CO_E_NOTINITIALIZED, closed.LoadSound(path.c_str(), GUID_NULL, &current));
    EXPECT_EQ(nullptr, current);
    EXPECT_EQ(0, buffer.references);
    EXPECT_EQ(CO_E_NOTINITIALIZED, closed.LoadSound(path.c_str(), GUID_NULL, &current));
}

}  // namespace
