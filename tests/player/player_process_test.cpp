// The real Kestrola.exe under Wine, started the way the add-on starts it, and
// DirectSound itself in this process. Run through player_process_test.py,
// which sets up ALSA for each group: PlayerProcess* and RealDevice* play into
// a capture file of their own (DROVANA_CAPTURE_FILE), NoAudio* have no device.
#include <gtest/gtest.h>
#include <string.h>

#include "player_protocol.h"
#include "player_window.h"
#include "sound_device.h"
#include "sox_manifest.h"
#include "wave_files.h"

namespace {

// Polls until the condition holds or the time is up.
template <typename Condition>
bool WaitFor(Condition condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(10);
    }
}

class Player {
public:
    ~Player() {
        if (process.hProcess != nullptr) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
            CloseHandle(process.hProcess);
        }
    }

    // As the add-on does: CreateProcessA, no inherited handles, no flags,
    // STARTF_USESHOWWINDOW with the given show state.
    bool Start(WORD showState) {
        std::string exe = WindowsPathFromEnvironment("DROVANA_BUILD_DIR") + "\\Kestrola.exe";
        char commandLine[MAX_PATH + 2];
        snprintf(commandLine, sizeof(commandLine), "%s", exe.c_str());
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = showState;
        if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            return false;
        }
        CloseHandle(process.hThread);
        // Idle in its message loop: the window exists and has been shown.
        WaitForInputIdle(process.hProcess, 15000);
        return WaitFor([this] { return (window = FindOurWindow()) != nullptr; }, 15000);
    }

    // Several players may run in this wineserver; ours belongs to our child.
    HWND FindOurWindow() const {
        HWND found = nullptr;
        while ((found = FindWindowExA(nullptr, found, kPlayerWindowClass, kPlayerWindowTitle)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == process.dwProcessId) return found;
        }
        return nullptr;
    }

    LRESULT Status() const { return SendMessageA(window, kPlayerStatusQuery, 0, 0); }

    LRESULT Send(const std::string &path) const {
        COPYDATASTRUCT data = {0, static_cast<DWORD>(path.size() + 1), const_cast<char *>(path.c_str())};
        return SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }

    bool WaitUntilIdle(DWORD timeoutMs = 60000) const {
        return WaitFor([this] { return Status() == 1; }, timeoutMs);
    }

    // Posts WM_DESTROY as the add-on does and returns the exit code, or -1
    // when the process did not end.
    long Stop() {
        PostMessageA(window, WM_DESTROY, 0, 0);
        if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        process.hProcess = nullptr;
        return static_cast<long>(code);
    }

    HWND window = nullptr;
    PROCESS_INFORMATION process = {};
};

// The file ALSA writes the mixed output into. Silence is zero bytes, so a
// sound shows as non-zero bytes.
class Capture {
public:
    Capture() : path(WindowsPathFromEnvironment("DROVANA_CAPTURE_FILE")) {}
    ~Capture() { DeleteFileA(path.c_str()); }
    void Remove() const { DeleteFileA(path.c_str()); }
    size_t Size() const {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
        return data.nFileSizeLow;
    }
    bool SoundAfter(size_t offset) const {
        std::string bytes = ReadWholeFile(path);
        for (size_t i = offset; i < bytes.size(); ++i) {
            if (bytes[i] != '\0') return true;
        }
        return false;
    }
    bool WaitForSoundAfter(size_t offset, DWORD timeoutMs = 10000) const {
        return WaitFor([&] { return SoundAfter(offset); }, timeoutMs);
    }
    const std::string path;
};

class PlayerProcess : public ::testing::Test {
protected:
    void SetUp() override {
        files = ReadSoxManifest(WindowsPathFromEnvironment("DROVANA_SOX_DIR"));
        ASSERT_FALSE(files.empty()) << "no sox files: run this program through player_process_test.py";
        ASSERT_FALSE(capture.path.empty()) << "DROVANA_CAPTURE_FILE is not set";
        capture.Remove();
        ASSERT_TRUE(player.Start(SW_HIDE)) << "Kestrola's window did not appear";
    }
    void TearDown() override {
        if (player.process.hProcess != nullptr) {
            EXPECT_EQ(0, player.Stop()) << "the player did not end with code 0";
        }
    }
    std::string File(const char *name) const {
        const SoxFile *file = FindSoxFile(files, name);
        return file != nullptr ? file->path : std::string();
    }

    std::vector<SoxFile> files;
    Capture capture;
    Player player;
};

TEST_F(PlayerProcess, HiddenWindowFoundByClassAndTitleIsIdleBeforeAnyFile) {
    EXPECT_EQ(1, player.Status()) << "a status query before any file must answer idle";
    EXPECT_FALSE(IsWindowVisible(player.window)) << "started with SW_HIDE, the window showed";
}

TEST_F(PlayerProcess, PlaysIntoTheCaptureBusyWhilePlayingIdleAfter) {
    EXPECT_EQ(0, player.Send(File("long_tone.wav")));
    EXPECT_EQ(0, player.Status()) << "the status query right after the file must answer playing";
    EXPECT_FALSE(IsWindowVisible(player.window));
    EXPECT_TRUE(player.WaitUntilIdle()) << "the sound never ended";
    EXPECT_TRUE(capture.WaitForSoundAfter(0)) << "no audio reached the ALSA capture file";
    EXPECT_FALSE(IsWindowVisible(player.window)) << "the hidden window showed while playing";
}

TEST_F(PlayerProcess, MissingPathPlaysNothingAndKeepsTheStatus) {
    std::string missing = WindowsPathFromEnvironment("DROVANA_SOX_DIR") + "\\no such cue.wav";
    EXPECT_EQ(0, player.Send(missing));
    EXPECT_EQ(1, player.Status());
    Sleep(500);
    EXPECT_FALSE(capture.SoundAfter(0)) << "something played for a missing file";

    player.Send(File("long_tone.wav"));
    ASSERT_EQ(0, player.Status());
    player.Send(missing);
    EXPECT_EQ(0, player.Status()) << "a missing file must leave the playing sound alone";
}

TEST_F(PlayerProcess, NonWaveFileAfterAGoodOneLeavesItIdle) {
    player.Send(File("long_tone.wav"));
    ASSERT_EQ(0, player.Status());
    player.Send(File("aiff_named.wav"));
    EXPECT_EQ(1, player.Status()) << "the earlier sound must be gone after a file that is no WAVE";
}

TEST_F(PlayerProcess, AFileCutShortPlaysWhatItHoldsAndLeavesThePlayerIdle) {
    // 144 bytes claiming 0x0FFFFFF0 bytes of data: played as claimed, that
    // would keep the player busy for nine hours.
    TempFolder folder;
    std::string cut = folder.Write("cut.wav", Riff("WAVE", Chunk("fmt ", PcmFormatBody(1, 1, 8000, 8)) +
                                                               ChunkClaiming("data", 0x0FFFFFF0, SampleBytes(100))));
    EXPECT_EQ(0, player.Send(cut));
    EXPECT_TRUE(player.WaitUntilIdle(10000)) << "still busy 10 s after a file holding 100 bytes of sound";
    EXPECT_TRUE(capture.WaitForSoundAfter(0)) << "the 100 bytes the file holds did not play";

    size_t offset = capture.Size();
    player.Send(File("long_tone.wav"));
    EXPECT_EQ(0, player.Status()) << "the next file did not play after the cut one";
    EXPECT_TRUE(capture.WaitForSoundAfter(offset));
}

TEST_F(PlayerProcess, PathOfExactly255CharactersIsTakenWhole) {
    std::string folder = WindowsPathFromEnvironment("DROVANA_SOX_DIR");
    std::string name(255 - folder.size() - 1 - 4, 'k');
    std::string path = folder + "\\" + name + ".wav";
    ASSERT_EQ(255u, path.size());
    ASSERT_TRUE(CopyFileA(File("long_tone.wav").c_str(), path.c_str(), FALSE));
    player.Send(path);
    EXPECT_EQ(0, player.Status()) << "a 255-character path did not play";
    EXPECT_EQ(0, player.Stop());
    DeleteFileA(path.c_str());
}

TEST_F(PlayerProcess, PostedDestroyEndsTheProcessWithCodeZero) {
    player.Send(File("long_tone.wav"));
    EXPECT_EQ(0, player.Stop()) << "WM_DESTROY while playing";
}

// PCM of every kind, and the compressed files decoded through the platform's
// codecs, reach the capture; a file that cannot play (not a WAVE file, a
// codec the machine lacks) leaves the player idle and alive, and the next
// file plays.
TEST_F(PlayerProcess, SoxFilesPlayAndOthersLeaveItIdle) {
    for (const SoxFile &file : files) {
        if (file.name == "long_tone.wav") continue;
        SCOPED_TRACE(file.name);
        size_t offset = capture.Size();
        const LRESULT answer = player.Send(file.path);
        EXPECT_EQ(file.expect == "undecodable" ? kHandOverUndecodable : kHandOverTaken, answer);
        if (file.plays) {
            EXPECT_TRUE(player.WaitUntilIdle(30000));
            EXPECT_TRUE(capture.WaitForSoundAfter(offset)) << "no audio reached the capture file";
        } else {
            EXPECT_EQ(1, player.Status()) << "a file that cannot play left the player busy";
            offset = capture.Size();
            player.Send(File("u8_mono_8k.wav"));
            EXPECT_TRUE(player.WaitUntilIdle(30000));
            EXPECT_TRUE(capture.WaitForSoundAfter(offset)) << "the next file did not play";
        }
    }
    EXPECT_FALSE(IsWindowVisible(player.window));
}

TEST(PlayerStartedByHand, WindowShowsAtItsSize) {
    Player player;
    ASSERT_TRUE(player.Start(SW_SHOWNORMAL));
    EXPECT_TRUE(IsWindowVisible(player.window));
    RECT rect;
    GetWindowRect(player.window, &rect);
    EXPECT_EQ(300, rect.right - rect.left);
    EXPECT_EQ(100, rect.bottom - rect.top);
    EXPECT_EQ(0, player.Stop());
}

// DirectSound in this process, on a window of the player's class.
class RealDevice : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterPlayerClass(GetModuleHandleA(nullptr));
        window = CreatePlayerWindow(GetModuleHandleA(nullptr));
        ASSERT_NE(nullptr, window);
        files = ReadSoxManifest(WindowsPathFromEnvironment("DROVANA_SOX_DIR"));
        ASSERT_FALSE(files.empty());
    }
    void TearDown() override { DestroyWindow(window); }
    HWND window = nullptr;
    std::vector<SoxFile> files;
};

TEST_F(RealDevice, LoadsPlaysAndReportsTheEndOfEachSoxFile) {
    CSoundDevice device;
    device.OpenDevice(window);
    ASSERT_TRUE(device.IsOpen()) << "DirectSoundCreate8 failed with the capture device";
    CSound *sound = nullptr;
    for (const SoxFile &file : files) {
        SCOPED_TRACE(file.name);
        HRESULT loaded = device.LoadSound(file.path.c_str(), GUID_NULL, &sound);
        if (!file.plays) {
            EXPECT_TRUE(FAILED(loaded));
            if (file.expect == "undecodable") {
                EXPECT_EQ(KESTROLA_E_UNDECODABLE, loaded) << std::hex << loaded;
            }
            EXPECT_EQ(nullptr, sound);
            continue;
        }
        ASSERT_TRUE(SUCCEEDED(loaded)) << std::hex << loaded;
        ASSERT_NE(nullptr, sound);
        EXPECT_EQ(S_OK, sound->StartPlayback());
        EXPECT_EQ(1, sound->IsAnyBufferPlaying());
        EXPECT_TRUE(WaitFor([&] { return sound->IsAnyBufferPlaying() == 0; }, 30000)) << "never reached its end";
    }
    delete sound;
}

TEST(NoAudio, DeviceStaysClosedAndEveryLoadFails) {
    RegisterPlayerClass(GetModuleHandleA(nullptr));
    HWND window = CreatePlayerWindow(GetModuleHandleA(nullptr));
    std::vector<SoxFile> files = ReadSoxManifest(WindowsPathFromEnvironment("DROVANA_SOX_DIR"));
    ASSERT_FALSE(files.empty());
    CSoundDevice device;
    device.OpenDevice(window);
    EXPECT_FALSE(device.IsOpen()) << "DirectSound opened with no ALSA device";
    CSound *sound = nullptr;
    for (const SoxFile &file : files) {
        EXPECT_EQ(CO_E_NOTINITIALIZED, device.LoadSound(file.path.c_str(), GUID_NULL, &sound)) << file.name;
        EXPECT_EQ(nullptr, sound);
    }
    DestroyWindow(window);
}

TEST(NoAudio, PlayerRunsAndStaysIdle) {
    std::vector<SoxFile> files = ReadSoxManifest(WindowsPathFromEnvironment("DROVANA_SOX_DIR"));
    ASSERT_FALSE(files.empty());
    Player player;
    ASSERT_TRUE(player.Start(SW_HIDE));
    for (const SoxFile &file : files) {
        player.Send(file.path);
        EXPECT_EQ(1, player.Status()) << file.name << " made a player without a device busy";
    }
    EXPECT_EQ(0, player.Stop());
}

}  // namespace
