// The window procedure and what it takes from a WM_COPYDATA, in this process.
#include <gtest/gtest.h>
#include <string.h>

#include "fake_direct_sound.h"
#include "player_window.h"
#include "wave_files.h"

namespace {

// Bytes placed at the very end of a readable page with an unreadable page
// after it: reading one byte too far faults.
class EdgeOfPage {
public:
    EdgeOfPage() {
        base = static_cast<char *>(VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base + kPage, kPage, PAGE_NOACCESS, &old);
    }
    ~EdgeOfPage() { VirtualFree(base, 0, MEM_RELEASE); }
    char *Place(const char *bytes, size_t count) {
        char *at = base + kPage - count;
        memcpy(at, bytes, count);
        return at;
    }

private:
    static const size_t kPage = 4096;
    char *base;
};

TEST(CopyReceivedPathTest, NeverReadsPastWhatWasSent) {
    EdgeOfPage edge;
    char path[PLAYER_PATH_SIZE];
    COPYDATASTRUCT data = {0, 5, edge.Place("C:\\ab", 5)};  // no NUL sent
    EXPECT_TRUE(CopyReceivedPath(&data, path, sizeof(path)));
    EXPECT_STREQ("C:\\ab", path);

    data.cbData = 3;
    data.lpData = edge.Place("C:\\", 3);
    EXPECT_TRUE(CopyReceivedPath(&data, path, sizeof(path)));
    EXPECT_STREQ("C:\\", path) << "cbData shorter than the text must bound the copy";
}

TEST(CopyReceivedPathTest, NoDataIsAnEmptyPath) {
    char path[PLAYER_PATH_SIZE] = "old";
    COPYDATASTRUCT data = {0, 10, nullptr};
    EXPECT_TRUE(CopyReceivedPath(&data, path, sizeof(path)));
    EXPECT_STREQ("", path);
    lstrcpynA(path, "old", sizeof(path));
    data.cbData = 0;
    data.lpData = const_cast<char *>("C:\\x.wav");
    CopyReceivedPath(&data, path, sizeof(path));
    EXPECT_STREQ("", path);
    lstrcpynA(path, "old", sizeof(path));
    CopyReceivedPath(nullptr, path, sizeof(path));
    EXPECT_STREQ("", path);
}

TEST(CopyReceivedPathTest, TakesTwoHundredFiftyFiveCharactersAtMost) {
    std::string exact(255, 'a');
    char path[PLAYER_PATH_SIZE];
    COPYDATASTRUCT data = {0, 256, const_cast<char *>(exact.c_str())};
    EXPECT_TRUE(CopyReceivedPath(&data, path, sizeof(path)));
    EXPECT_EQ(exact, path) << "a path of exactly 255 characters must be taken whole";

    std::string longer(400, 'b');
    data.cbData = 401;
    data.lpData = const_cast<char *>(longer.c_str());
    EXPECT_FALSE(CopyReceivedPath(&data, path, sizeof(path))) << "a cut path was reported whole";
    EXPECT_EQ(255u, strlen(path));

    // Text ending at its NUL well inside cbData.
    data.cbData = 401;
    data.lpData = const_cast<char *>("short\0garbage");
    EXPECT_TRUE(CopyReceivedPath(&data, path, sizeof(path)));
    EXPECT_STREQ("short", path);
}

// The window procedure with a device whose buffers live in memory.
class PlayerWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterPlayerClass(GetModuleHandleA(nullptr)); }
    PlayerWindowTest() : device(&direct) {
        window = CreatePlayerWindow(GetModuleHandleA(nullptr));
        playerState.mainWindow = window;
        playerState.soundDevice = &device;
        playerState.currentSound = nullptr;
        playerState.currentPath[0] = '\0';
    }
    ~PlayerWindowTest() override {
        DestroyWindow(window);
        delete playerState.currentSound;
        playerState.currentSound = nullptr;
        playerState.soundDevice = nullptr;
    }
    LRESULT SendPath(const std::string &path) {
        COPYDATASTRUCT data = {0, static_cast<DWORD>(path.size() + 1), const_cast<char *>(path.c_str())};
        return SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }

    TempFolder folder;
    FakeDirectSound direct;
    CSoundDevice device;
    HWND window;
};

TEST_F(PlayerWindowTest, WindowIsTheOneTheAddOnLooksFor) {
    ASSERT_NE(nullptr, window);
    // Written out rather than taken from player_protocol.h: every released
    // add-on looks for exactly these texts.
    EXPECT_EQ(window, FindWindowExA(nullptr, nullptr, "DrovanaSndPlay", "DROVANA Sound Play"));
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(300, rect.right - rect.left);
    EXPECT_EQ(100, rect.bottom - rect.top);
    EXPECT_EQ(static_cast<LONG_PTR>(WS_OVERLAPPEDWINDOW), GetWindowLongPtrA(window, GWL_STYLE) & WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(1, SendMessageA(window, WM_APP, 0, 0)) << "a status query before any file must answer idle";
}

TEST_F(PlayerWindowTest, PlaysAnExistingFileAndAnswersBusyWhilePlaying) {
    std::string path = folder.Write("cue.wav", PcmWave(16, SampleBytes(200)));
    EXPECT_EQ(0, SendPath(path));
    EXPECT_STREQ(path.c_str(), playerState.currentPath);
    ASSERT_EQ(1u, direct.created.size());
    EXPECT_EQ(0, SendMessageA(window, WM_APP, 0, 0)) << "a playing sound must answer busy";
    direct.created[0]->status = 0;
    EXPECT_EQ(1, SendMessageA(window, WM_APP, 0, 0)) << "a finished sound must answer idle";
}

TEST_F(PlayerWindowTest, MissingPathIsShownButChangesNothingElse) {
    std::string path = folder.Write("cue.wav", PcmWave(16, SampleBytes(200)));
    SendPath(path);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    ValidateRect(window, nullptr);
    std::string missing = folder.Path() + "\\missing.wav";
    EXPECT_EQ(0, SendPath(missing));
    EXPECT_STREQ(missing.c_str(), playerState.currentPath);
    EXPECT_TRUE(GetUpdateRect(window, nullptr, FALSE)) << "the new path is not repainted";
    EXPECT_EQ(1u, direct.created.size()) << "a missing file was loaded";
    EXPECT_EQ(0, SendMessageA(window, WM_APP, 0, 0)) << "the playing sound must go on";
}

TEST_F(PlayerWindowTest, EmptyOrCutPathsLoadNothing) {
    COPYDATASTRUCT data = {0, 0, nullptr};
    EXPECT_EQ(0, SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)));
    EXPECT_STREQ("", playerState.currentPath);

    // A longer path whose first 255 characters name a real file: playing
    // that file would play something nobody asked for.
    std::string longName(255 - folder.Path().size() - 1, 'x');
    std::string prefixFile = folder.Write(longName.c_str(), PcmWave(16, SampleBytes(20)));
    ASSERT_EQ(255u, prefixFile.size());
    EXPECT_EQ(0, SendPath(prefixFile + ".wav"));
    EXPECT_EQ(prefixFile, playerState.currentPath);
    EXPECT_EQ(0u, direct.created.size()) << "a cut path was played";
    EXPECT_EQ(0, SendPath(prefixFile));
    EXPECT_EQ(1u, direct.created.size()) << "a path of exactly 255 characters was not played";
}

TEST_F(PlayerWindowTest, NonWaveFileAfterAGoodOneLeavesItIdle) {
    SendPath(folder.Write("good.wav", PcmWave(16, SampleBytes(200))));
    SendPath(folder.Write("text.wav", Bytes("plain text, not RIFF")));
    EXPECT_EQ(nullptr, playerState.currentSound);
    EXPECT_EQ(1, direct.created[0]->references) << "the first sound's buffer was kept";
    EXPECT_EQ(1, SendMessageA(window, WM_APP, 0, 0));
}

}  // namespace
