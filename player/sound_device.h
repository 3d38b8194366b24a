// The player's DirectSound 8 object and the loading of files into sounds.
#ifndef KESTROLA_SOUND_DEVICE_H
#define KESTROLA_SOUND_DEVICE_H

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include "sound.h"

class CSoundDevice {
public:
    CSoundDevice();
    // Takes over a DirectSound object made elsewhere instead of opening one.
    explicit CSoundDevice(IDirectSound8 *directSound);
    ~CSoundDevice();
    CSoundDevice(const CSoundDevice &) = delete;
    CSoundDevice &operator=(const CSoundDevice &) = delete;

    // DirectSound 8 on the default device at priority level. A failure is
    // silent: the device stays closed and every load reports it.
    void OpenDevice(HWND window);
    bool IsOpen() const { return directSound != nullptr; }

    // Destroys *currentSound, then reads the file into a new sound that
    // becomes *currentSound. Any failure leaves no sound current.
    HRESULT LoadSound(const char *path, REFGUID algorithm, CSound **currentSound);

private:
    IDirectSound8 *directSound;
    HMODULE dsoundModule;
};

#endif
