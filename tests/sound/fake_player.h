// A stand-in for Kestrola's window, owned by the test, on a thread of its own
// with a message loop. It answers the status query as its script says and
// records every request with the time it arrived. Only a findable one has the
// player's class and title: other programs of the wineserver look players up
// by them, and must not reach a fake that a test hands over directly.
#ifndef DROVANA_TESTS_SOUND_FAKE_PLAYER_H
#define DROVANA_TESTS_SOUND_FAKE_PLAYER_H

#include <windows.h>

#include <string>
#include <vector>

// Milliseconds on one monotonic clock shared by the tests and the player.
double NowMs();

struct PlayerEvent {
    enum Kind { STATUS_QUERY, FILE_REQUEST } kind;
    double atMs;
    LRESULT answer;    // STATUS_QUERY: 1 idle, 0 busy
    std::string path;  // FILE_REQUEST: lpData up to its NUL
    DWORD cbData;      // FILE_REQUEST
    ULONG_PTR dwData;  // FILE_REQUEST
};

struct PlayerScript {
    int busyAtStart;    // status queries answered busy before the first idle one
    int busyAfterFile;  // status queries answered busy after each file, as if it played
    bool alwaysBusy;
};

class FakePlayer {
public:
    enum Visibility { HANDED_OVER, FINDABLE };
    explicit FakePlayer(const PlayerScript &script, Visibility visibility = HANDED_OVER);
    ~FakePlayer();
    FakePlayer(const FakePlayer &) = delete;
    FakePlayer &operator=(const FakePlayer &) = delete;

    HWND Window() const { return window_; }
    std::vector<PlayerEvent> Events() const;
    std::vector<PlayerEvent> Files() const;
    std::vector<PlayerEvent> Queries() const;

private:
    static DWORD WINAPI Run(LPVOID self);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Answer();
    void Record(const PlayerEvent &event);

    PlayerScript script_;
    Visibility visibility_;
    int busyLeft_;
    HWND window_;
    HANDLE thread_;
    HANDLE ready_;
    mutable CRITICAL_SECTION lock_;
    std::vector<PlayerEvent> events_;
};

// A window of the player's class that has already been destroyed: a handle the
// add-on may still hold after the player ended.
HWND DestroyedPlayerWindow();

#endif
