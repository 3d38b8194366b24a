#include "sound_request.h"

#include <stdio.h>
#include <string.h>

#include "../../player/player_protocol.h"
#include "../core/config.h"
#include "../core/state.h"
#include "../core/worker_thread.h"
#include "player_link.h"

SoundTimings SoundRequestTimings = {kPlayerBusyPollMs, kAfterFileMs, kPlayerGiveUpMs};

namespace {

const char kMissingPath[] = "Error";

// The key names are the list positions in decimal, at most the count's
// range plus one: "100".
const int kKeyTextSize = 5;

// A wait the module's stop cuts short: DLLStop waits for this thread only a
// little while. False when the thread is to end.
const DWORD kStopLookMs = 50;
bool PauseUnlessStopping(DWORD ms) {
    const DWORD start = GetTickCount();
    while (PushbackState.soundStopping == 0) {
        const DWORD waited = GetTickCount() - start;
        if (waited >= ms) return true;
        Sleep(ms - waited < kStopLookMs ? ms - waited : kStopLookMs);
    }
    return false;
}

bool PathExists(const char *path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

// A player that stops answering must not hold this thread (and with it the
// pushback): a status query or a hand-over it leaves unanswered ends the list.
// Its thread answers a status query at once unless it is stuck; the load of a
// file may take a while.
const UINT kStatusAnswerMs = 5000;
const UINT kLoadAnswerMs = 30000;

enum PlayerAnswer { PLAYER_IDLE, PLAYER_BUSY, PLAYER_SILENT };

PlayerAnswer AskPlayer(HWND player) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(player, kPlayerStatusQuery, 0, 0, SMTO_NORMAL, kStatusAnswerMs, &answer)) return PLAYER_SILENT;
    return answer == static_cast<DWORD_PTR>(kPlayerIdle) ? PLAYER_IDLE : PLAYER_BUSY;
}

// Returns false when the player did not answer the hand-over.
bool HandOver(HWND player, char *path) {
    COPYDATASTRUCT request;
    request.dwData = 0;
    request.cbData = static_cast<DWORD>(strlen(path) + 1);
    request.lpData = path;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(player, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&request), SMTO_NORMAL,
                               kLoadAnswerMs, &ignored) != 0;
}

void PlayList() {
    // soundSection cannot change while this thread runs; a copy keeps every
    // read of it terminated all the same.
    char section[SOUND_SECTION_SIZE];
    lstrcpynA(section, PushbackState.soundSection, sizeof section);

    // Within its range: a count that is no number or too large plays nothing.
    const int count = ReadConfigNumber(section, kNumberSound);
    if (count == 0) return;
    // The keys run from "1" to N + 1: a key just past the count is played too
    // when it is present, and the extra pass waits for the last file to end.
    const int lastKey = count + 1;

    const SoundTimings timings = SoundRequestTimings;
    HWND player = PushbackState.playerWindow;
    bool waiting = false;
    DWORD waitingSince = 0;
    int n = 1;
    do {
        if (PushbackState.soundStopping != 0) return;
        // The player may have ended or restarted since the last look.
        player = CurrentPlayerWindow(player);
        if (player == nullptr) return;  // no player at all: the pushback goes on without sound

        const PlayerAnswer answer = AskPlayer(player);
        if (answer == PLAYER_SILENT) return;
        if (answer == PLAYER_BUSY) {
            const DWORD now = GetTickCount();
            if (!waiting) {
                waiting = true;
                waitingSince = now;
            } else if (now - waitingSince > timings.giveUpMs) {
                return;  // no cue lasts this long: the player is stuck
            }
            if (!PauseUnlessStopping(timings.busyPollMs)) return;
            continue;
        }
        waiting = false;

        char key[kKeyTextSize];
        snprintf(key, sizeof key, "%d", n);
        char path[TEXT_SIZE];
        ReadConfigText(section, key, kMissingPath, path, sizeof path);
        if (PathExists(path)) {
            if (!HandOver(player, path)) return;
            if (!PauseUnlessStopping(timings.afterFileMs)) return;
        }
        ++n;
    } while (n <= lastKey);
}

}  // namespace

void StartSoundThread() {
    // One cue at a time: a second thread would hand the player a second list
    // over the first and leave soundBusy to whichever ends first.
    if (InterlockedCompareExchange(&PushbackState.soundBusy, 1, 0) != 0) return;
    ForgetEndedThread(&PushbackState.soundThread);
    HANDLE thread = StartWorkerThread(SoundRequestThread, nullptr, 0);
    // Without the thread nobody would clear the flag, and the sequencer would
    // wait for a sound that never comes.
    if (thread == nullptr) {
        PushbackState.soundBusy = 0;
        return;
    }
    // The last thread cleared soundBusy just before it ended; its handle
    // (not yet seen ended above) is closed here, so none piles up.
    if (PushbackState.soundThread != nullptr) {
        WaitForSingleObject(PushbackState.soundThread, kStopLookMs);
        CloseHandle(PushbackState.soundThread);
    }
    PushbackState.soundThread = thread;
}

void StartCue(const char *section) {
    // The playing list's name stays as its thread read it.
    if (PushbackState.soundBusy != 0) return;
    lstrcpynA(PushbackState.soundSection, section, sizeof PushbackState.soundSection);
    StartSoundThread();
}

DWORD WINAPI SoundRequestThread(LPVOID /*unused*/) {
    PlayList();
    PushbackState.soundBusy = 0;
    EndWorkerThread(0);
    return 0;
}

void EndSoundThread(DWORD timeoutMs) {
    PushbackState.soundStopping = 1;
    if (PushbackState.soundThread != nullptr && WaitForWorkerThread(PushbackState.soundThread, timeoutMs)) {
        CloseHandle(PushbackState.soundThread);
        PushbackState.soundThread = nullptr;
    }
}
