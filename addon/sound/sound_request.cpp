#include "sound_request.h"

#include "../core/state.h"

void StartSoundThread() {}

DWORD WINAPI SoundRequestThread(LPVOID /*unused*/) {
    PushbackState.soundBusy = 0;
    return 0;
}
