// The sound request thread against a player window owned by the test.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "../../player/player_protocol.h"
#include "core/state.h"
#include "fake_player.h"
#include "sound/sound_request.h"

namespace {

const char kSection[] = "Sound0";

// What a pilot hears between cues: a pause of 3000 ms after each file, and a
// status query every 1000 ms while the player plays. A thread may wake a
// little late on a loaded machine, never early.
const double kPauseAfterFileMs = 3000.0;
const double kQueryWhileBusyMs = 1000.0;
const double kWokeLateMs = 150.0;

class SoundRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAddonState();
        savedTimings_ = SoundRequestTimings;
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        static int serial = 0;
        char dir[MAX_PATH];
        snprintf(dir, sizeof dir, "%sdrovana_sound_%lu_%d", temp, GetCurrentProcessId(), ++serial);
        CreateDirectoryA(dir, nullptr);
        dir_ = dir;
        snprintf(PushbackState.configPath, sizeof PushbackState.configPath, "%s\\Drovana.cfg", dir);
        lstrcpynA(PushbackState.soundSection, kSection, sizeof PushbackState.soundSection);
    }

    void TearDown() override {
        // A thread left running would read the next test's state.
        WaitUntilIdle(70000);
        SoundRequestTimings = savedTimings_;
        for (const std::string &file : created_) DeleteFileA(file.c_str());
        DeleteFileA(PushbackState.configPath);
        RemoveDirectoryA(dir_.c_str());
    }

    std::string MakeWave(const std::string &name) {
        std::string path = dir_ + "\\" + name;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE) << "could not create " << path;
        DWORD written = 0;
        WriteFile(file, "RIFF", 4, &written, nullptr);
        CloseHandle(file);
        created_.push_back(path);
        return path;
    }

    std::string Missing(const std::string &name) { return dir_ + "\\" + name; }

    void SetCount(const char *count) {
        WritePrivateProfileStringA(kSection, "Number_Sound", count, PushbackState.configPath);
    }

    void SetKey(int n, const std::string &path) {
        char key[16];
        snprintf(key, sizeof key, "%d", n);
        WritePrivateProfileStringA(kSection, key, path.c_str(), PushbackState.configPath);
    }

    // Shorter waits for cases that are not about them; the give-up stays the
    // product's unless a case sets its own.
    void Timings(DWORD busyPollMs, DWORD afterFileMs) {
        SoundRequestTimings.busyPollMs = busyPollMs;
        SoundRequestTimings.afterFileMs = afterFileMs;
    }
    void GiveUpAfter(DWORD giveUpMs) { SoundRequestTimings.giveUpMs = giveUpMs; }

    // Every gap at least the wait; a late wake-up only lengthens a gap, so
    // the shortest of them shows the wait itself.
    static void ExpectGaps(const std::vector<double> &gaps, double expectedMs, const char *what) {
        double shortest = gaps.front();
        for (double gap : gaps) {
            EXPECT_GE(gap, expectedMs - 20.0) << what << ": came after " << gap << " ms, not " << expectedMs;
            if (gap < shortest) shortest = gap;
        }
        EXPECT_LT(shortest, expectedMs + kWokeLateMs)
            << what << ": came after " << shortest << " ms at the soonest, not " << expectedMs;
    }
    static double Gap(const PlayerEvent &from, const PlayerEvent &to) { return to.atMs - from.atMs; }

    double Start() {
        const double at = NowMs();
        StartSoundThread();
        return at;
    }

    static bool WaitUntilIdle(DWORD timeoutMs) {
        const DWORD start = GetTickCount();
        while (PushbackState.soundBusy != 0) {
            if (GetTickCount() - start > timeoutMs) return false;
            Sleep(5);
        }
        return true;
    }

    // Other programs of the wineserver may have a player window for a while;
    // a case that looks the player up waits until they have none.
    static bool NoOtherPlayer(DWORD timeoutMs) {
        const DWORD start = GetTickCount();
        while (FindWindowExA(nullptr, nullptr, kPlayerWindowClass, kPlayerWindowTitle) != nullptr) {
            if (GetTickCount() - start > timeoutMs) return false;
            Sleep(100);
        }
        return true;
    }

    static std::vector<std::string> Paths(const std::vector<PlayerEvent> &files) {
        std::vector<std::string> paths;
        for (const PlayerEvent &file : files) paths.push_back(file.path);
        return paths;
    }

    std::string dir_;
    std::vector<std::string> created_;
    SoundTimings savedTimings_;
};

const PlayerScript kAlwaysIdle = {0, 0, false};

TEST_F(SoundRequestTest, TwoFilesGoOutThreeSecondsApartAndTheKeyPastTheCountIsTried) {
    // The product's own waits: this case pins them.
    const PlayerScript playsEachFileForOneQuery = {0, 1, false};
    FakePlayer player(playsEachFileForOneQuery);
    PushbackState.playerWindow = player.Window();
    const std::string first = MakeWave("first.wav");
    const std::string second = MakeWave("second.wav");
    SetCount("2");
    SetKey(1, first);
    SetKey(2, second);

    Start();
    EXPECT_EQ(PushbackState.soundBusy, 1) << "soundBusy must be set before the thread runs";
    ASSERT_TRUE(WaitUntilIdle(20000)) << "the list of two files never ended";

    const std::vector<PlayerEvent> files = player.Files();
    ASSERT_EQ(Paths(files), (std::vector<std::string>{first, second}));
    for (const PlayerEvent &file : files) {
        EXPECT_EQ(file.cbData, file.path.size() + 1) << "cbData must count the NUL";
        EXPECT_EQ(file.dwData, 0u);
    }

    // idle, file 1, busy, idle, file 2, busy, idle: the last idle answer is
    // the pass of key "3", which names nothing, and ends the list.
    const std::vector<PlayerEvent> events = player.Events();
    ASSERT_EQ(events.size(), 7u);
    const PlayerEvent::Kind expectedKinds[] = {PlayerEvent::STATUS_QUERY, PlayerEvent::FILE_REQUEST,
                                               PlayerEvent::STATUS_QUERY, PlayerEvent::STATUS_QUERY,
                                               PlayerEvent::FILE_REQUEST, PlayerEvent::STATUS_QUERY,
                                               PlayerEvent::STATUS_QUERY};
    for (size_t i = 0; i < events.size(); ++i) EXPECT_EQ(events[i].kind, expectedKinds[i]) << "event " << i;
    EXPECT_EQ(events[2].answer, 0);
    EXPECT_EQ(events[5].answer, 0) << "the thread ended before the player reported idle";
    EXPECT_EQ(events[6].answer, 1);
    ExpectGaps({Gap(events[1], events[2]), Gap(events[4], events[5])}, kPauseAfterFileMs, "the query after a file");
    ExpectGaps({Gap(events[2], events[3]), Gap(events[5], events[6])}, kQueryWhileBusyMs,
               "the query after a busy answer");
}

TEST_F(SoundRequestTest, OneCueAtATimeAndTheStopEndsItsWaitAtOnce) {
    // The product's 3 s after a file and a player that stays busy: the list
    // waits, and a second cue asked for meanwhile starts no second thread.
    const PlayerScript busyForAMinute = {0, 60, false};
    FakePlayer player(busyForAMinute);
    PushbackState.playerWindow = player.Window();
    SetCount("1");
    SetKey(1, MakeWave("long.wav"));
    Start();
    for (int i = 0; i < 500 && player.Files().empty(); ++i) Sleep(10);
    ASSERT_FALSE(player.Files().empty()) << "the list's file never reached the player";
    const HANDLE first = PushbackState.soundThread;
    StartCue("Sound1");
    EXPECT_EQ(first, PushbackState.soundThread) << "a second sound thread was started over the playing cue";
    EXPECT_STREQ(kSection, PushbackState.soundSection) << "the playing list's name was overwritten";

    // DLLStop waits a bounded time: the list must end well within it.
    HANDLE own = nullptr;
    DuplicateHandle(GetCurrentProcess(), first, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS);
    const double before = NowMs();
    EndSoundThread(2000);
    EXPECT_LT(NowMs() - before, 1500.0) << "the sound thread kept waiting for its player after the stop";
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(own, 0)) << "the sound thread outlived the stop";
    EXPECT_EQ(nullptr, PushbackState.soundThread);
    CloseHandle(own);
    PushbackState.soundStopping = 0;
}

TEST_F(SoundRequestTest, AKeyJustPastTheCountIsPlayedWhenPresent) {
    Timings(10, 10);
    FakePlayer player(kAlwaysIdle);
    PushbackState.playerWindow = player.Window();
    const std::string a = MakeWave("a.wav"), b = MakeWave("b.wav"), c = MakeWave("c.wav");
    SetCount("2");
    SetKey(1, a);
    SetKey(2, b);
    SetKey(3, c);

    Start();
    ASSERT_TRUE(WaitUntilIdle(10000));
    EXPECT_EQ(Paths(player.Files()), (std::vector<std::string>{a, b, c}));
}

TEST_F(SoundRequestTest, ACountOfZeroOrNoneSendsNothingAndEndsAtOnce) {
    FakePlayer player(kAlwaysIdle);
    PushbackState.playerWindow = player.Window();
    SetKey(1, MakeWave("never.wav"));

    SetCount("0");
    Start();
    EXPECT_TRUE(WaitUntilIdle(2000)) << "Number_Sound 0 kept soundBusy set";

    WritePrivateProfileStringA(kSection, "Number_Sound", nullptr, PushbackState.configPath);
    Start();
    EXPECT_TRUE(WaitUntilIdle(2000)) << "a missing Number_Sound kept soundBusy set";

    EXPECT_TRUE(player.Events().empty()) << "the player was asked something for an empty list";
}

TEST_F(SoundRequestTest, AMissingFileIsSkippedWithoutThePause) {
    SoundRequestTimings.busyPollMs = 10;  // the pause after a file stays the product's
    FakePlayer player(kAlwaysIdle);
    PushbackState.playerWindow = player.Window();
    const std::string present = MakeWave("present.wav");
    SetCount("2");
    SetKey(1, Missing("absent.wav"));
    SetKey(2, present);

    const double started = Start();
    ASSERT_TRUE(WaitUntilIdle(20000));
    const std::vector<PlayerEvent> files = player.Files();
    ASSERT_EQ(Paths(files), (std::vector<std::string>{present}));
    EXPECT_LT(files[0].atMs - started, kPauseAfterFileMs - 1000.0)
        << "the missing file was followed by the pause of a sent one";
}

TEST_F(SoundRequestTest, ABusyPlayerIsAskedEverySecondAndTheListWaits) {
    SoundRequestTimings.afterFileMs = 10;  // the query interval stays the product's
    const PlayerScript busyForThreeQueries = {3, 0, false};
    FakePlayer player(busyForThreeQueries);
    PushbackState.playerWindow = player.Window();
    const std::string first = MakeWave("first.wav");
    SetCount("1");
    SetKey(1, first);

    Start();
    ASSERT_TRUE(WaitUntilIdle(20000));

    const std::vector<PlayerEvent> events = player.Events();
    ASSERT_GE(events.size(), 5u);
    std::vector<double> gaps;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(events[i].kind, PlayerEvent::STATUS_QUERY) << "something was sent while the player was busy";
        EXPECT_EQ(events[i].answer, 0);
        gaps.push_back(Gap(events[i], events[i + 1]));
    }
    ExpectGaps(gaps, kQueryWhileBusyMs, "the query after a busy answer");
    // The key counter stayed at "1" while the player was busy.
    EXPECT_EQ(Paths(player.Files()), (std::vector<std::string>{first}));
}

TEST_F(SoundRequestTest, TenFilesReadTheKeysOneToEleven) {
    Timings(5, 5);
    FakePlayer player(kAlwaysIdle);
    PushbackState.playerWindow = player.Window();
    std::vector<std::string> expected;
    for (int n = 1; n <= 12; ++n) {
        char name[32];
        snprintf(name, sizeof name, "cue%d.wav", n);
        const std::string path = MakeWave(name);
        SetKey(n, path);
        if (n <= 11) expected.push_back(path);
    }
    SetCount("10");

    Start();
    ASSERT_TRUE(WaitUntilIdle(20000));
    const std::vector<std::string> played = Paths(player.Files());
    EXPECT_EQ(played, expected) << "keys \"1\" to \"11\" should play, and \"12\" not";
    ASSERT_GE(played.size(), 10u);
    EXPECT_EQ(played[9], expected[9]) << "key \"10\" is the tenth file";
}

TEST_F(SoundRequestTest, APathOver255CharactersIsCutBeforeItIsLookedUp) {
    Timings(5, 5);
    FakePlayer player(kAlwaysIdle);
    PushbackState.playerWindow = player.Window();
    const size_t prefix = dir_.size() + 1;
    ASSERT_LT(prefix + 10, 255u);
    const std::string name = std::string(255 - prefix - 4, 'w') + ".wav";
    const std::string cut = MakeWave(name);
    ASSERT_EQ(cut.size(), 255u);
    SetCount("1");
    SetKey(1, cut + "extra");

    Start();
    ASSERT_TRUE(WaitUntilIdle(10000));
    const std::vector<PlayerEvent> files = player.Files();
    ASSERT_EQ(files.size(), 1u) << "the first 255 characters name a file and should have been sent";
    EXPECT_EQ(files[0].path, cut);
    EXPECT_EQ(files[0].cbData, 256u);
}

TEST_F(SoundRequestTest, ACountOutsideZeroTo99PlaysNothing) {
    Timings(0, 0);
    FakePlayer player(kAlwaysIdle);
    PushbackState.playerWindow = player.Window();
    SetKey(1, MakeWave("first.wav"));
    for (const char *count : {"99999", "100", "-1", "2x"}) {
        SetCount(count);
        Start();
        ASSERT_TRUE(WaitUntilIdle(10000)) << "Number_Sound=" << count;
        EXPECT_TRUE(player.Files().empty()) << "Number_Sound=" << count << " played";
    }
}

TEST_F(SoundRequestTest, AnEmptyPlayerWindowIsLookedUpAgain) {
    Timings(5, 5);
    ASSERT_TRUE(NoOtherPlayer(120000)) << "another program's player window stayed in this wineserver";
    FakePlayer player(kAlwaysIdle, FakePlayer::FINDABLE);
    PushbackState.playerWindow = nullptr;
    const std::string cue = MakeWave("cue.wav");
    SetCount("1");
    SetKey(1, cue);

    Start();
    ASSERT_TRUE(WaitUntilIdle(10000));
    EXPECT_EQ(Paths(player.Files()), (std::vector<std::string>{cue}))
        << "the player that started after the add-on looked was not found";
}

TEST_F(SoundRequestTest, WithNoPlayerAtAllTheListIsAbandoned) {
    ASSERT_TRUE(NoOtherPlayer(120000)) << "another program's player window stayed in this wineserver";
    PushbackState.playerWindow = DestroyedPlayerWindow();
    SetCount("2");
    SetKey(1, MakeWave("cue.wav"));

    Start();
    EXPECT_TRUE(WaitUntilIdle(5000)) << "soundBusy stayed set with no player to play the list";
}

TEST_F(SoundRequestTest, APlayerBusyForTooLongIsGivenUp) {
    Timings(20, 20);
    GiveUpAfter(300);
    const PlayerScript neverIdle = {0, 0, true};
    FakePlayer player(neverIdle);
    PushbackState.playerWindow = player.Window();
    SetCount("1");
    SetKey(1, MakeWave("cue.wav"));

    Start();
    EXPECT_TRUE(WaitUntilIdle(10000)) << "the thread kept waiting for a player that never finished";
    EXPECT_TRUE(player.Files().empty());
    EXPECT_GE(player.Queries().size(), 2u);
}

}  // namespace

namespace {

// A player whose thread has stopped handling messages: its window exists,
// but nothing ever answers what is sent to it.
struct HungPlayer {
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE created = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND window = nullptr;
    HANDLE thread = nullptr;

    static DWORD WINAPI Run(LPVOID self) {
        HungPlayer *p = static_cast<HungPlayer *>(self);
        p->window = CreateWindowExA(0, "STATIC", "hung player", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        SetEvent(p->created);
        WaitForSingleObject(p->release, INFINITE);
        DestroyWindow(p->window);
        return 0;
    }
    HungPlayer() {
        thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
        WaitForSingleObject(created, 5000);
    }
    ~HungPlayer() {
        SetEvent(release);
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
        CloseHandle(created);
        CloseHandle(release);
    }
};

TEST_F(SoundRequestTest, APlayerThatNoLongerAnswersIsGivenUp) {
    // The product's give-up for a busy player, minutes away: the unanswered
    // status query itself must end the list.
    Timings(20, 20);
    HungPlayer player;
    ASSERT_NE(player.window, (HWND)nullptr);
    PushbackState.playerWindow = player.window;
    SetCount("1");
    SetKey(1, MakeWave("cue.wav"));

    Start();
    EXPECT_TRUE(WaitUntilIdle(30000)) << "the sound thread stayed blocked on a player that answers nothing";
}

}  // namespace
