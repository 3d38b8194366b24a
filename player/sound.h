// One loaded sound: the DirectSound buffer that holds a file's whole data
// chunk (decoded to PCM when the file is compressed) and the open file it is
// refilled from when the buffer is lost.
#ifndef KESTROLA_SOUND_H
#define KESTROLA_SOUND_H

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include "acm_decoder.h"
#include "wave_stream.h"

class CSound {
public:
    // Takes over the buffer, the stream and the decoder (none for data that
    // plays as it is) and fills the buffer from the stream; a fill that fails
    // leaves the buffer as it is.
    CSound(IDirectSoundBuffer *buffer, DWORD bufferBytes, CWaveStream *waveStream, CAcmDecoder *decoder = nullptr);
    virtual ~CSound();
    CSound(const CSound &) = delete;
    CSound &operator=(const CSound &) = delete;

    // Plays the sound once from its start, restoring and refilling a lost
    // buffer first.
    HRESULT StartPlayback();
    // 1 while a buffer of the sound plays, else 0.
    int IsAnyBufferPlaying();

    // Restore passes before a device that never comes back is given up on.
    static const int kMaxRestorePasses = 300;

private:
    IDirectSoundBuffer *ChooseBuffer();
    HRESULT RestoreIfLost(IDirectSoundBuffer *buffer, bool *restored);
    HRESULT LoadIntoBuffer(IDirectSoundBuffer *buffer);
    HRESULT RestoreLostBuffer(IDirectSoundBuffer *buffer);
    const WAVEFORMATEX *PlayedFormat() const;

    IDirectSoundBuffer **buffers;
    DWORD bufferBytes;
    CWaveStream *waveStream;
    DWORD bufferCount;
    DWORD bufferFlags;
    CAcmDecoder *decoder;  // owned, or none
};

#endif
