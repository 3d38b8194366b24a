// Hands one sound list of Drovana.cfg to the player, file by file, on a worker
// thread; soundBusy holds the sequencer while it runs.
#ifndef DROVANA_ADDON_SOUND_SOUND_REQUEST_H
#define DROVANA_ADDON_SOUND_SOUND_REQUEST_H

#include <windows.h>

// Sets soundBusy, then starts SoundRequestThread on the list named in
// soundSection. Called on the main thread after soundSection has been filled;
// while a cue still plays it does nothing.
void StartSoundThread();

// Names the list and starts its thread, unless a cue still plays.
void StartCue(const char *section);

// The module stops: the running list ends at its next wait, and this waits
// up to timeoutMs for its thread. A thread still in a hand-over after that
// holds the module until it ends.
void EndSoundThread(DWORD timeoutMs);

// Plays the list named in soundSection and clears soundBusy on every way out.
DWORD WINAPI SoundRequestThread(LPVOID unused);

// How long the thread waits. The product always runs with the values below;
// only tests shorten them, so that giving up on a player need not take minutes.
static const DWORD kPlayerBusyPollMs = 1000;  // between status queries while the player plays
static const DWORD kAfterFileMs = 3000;       // after a file has been handed over
// A pilot's list may hold a cabin announcement of several minutes, and the
// sequence waits for it. Only a player busy far longer than that is stuck.
static const DWORD kPlayerGiveUpMs = 600000;

struct SoundTimings {
    DWORD busyPollMs;
    DWORD afterFileMs;
    DWORD giveUpMs;
};

extern SoundTimings SoundRequestTimings;

#endif
