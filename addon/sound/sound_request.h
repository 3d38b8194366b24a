// Hands one sound list of Drovana.cfg to the player, file by file, on a worker
// thread; soundBusy holds the sequencer while it runs.
#ifndef DROVANA_ADDON_SOUND_SOUND_REQUEST_H
#define DROVANA_ADDON_SOUND_SOUND_REQUEST_H

#include <windows.h>

void StartSoundThread();
DWORD WINAPI SoundRequestThread(LPVOID unused);

#endif
