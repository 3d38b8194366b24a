#include "sound.h"

#include <stdlib.h>
#include <string.h>

#include <new>

CSound::CSound(IDirectSoundBuffer *buffer, DWORD bufferBytes, CWaveStream *waveStream, CAcmDecoder *decoder)
    : buffers(new (std::nothrow) IDirectSoundBuffer *[1]),
      bufferBytes(bufferBytes),
      waveStream(waveStream),
      bufferCount(0),
      bufferFlags(DSBCAPS_GLOBALFOCUS),
      decoder(decoder) {
    if (buffers == nullptr) {
        // Nothing can hold the buffer, so it is given back at once.
        if (buffer != nullptr) buffer->Release();
        return;
    }
    buffers[0] = buffer;
    bufferCount = 1;
    if (buffer != nullptr) LoadIntoBuffer(buffer);
}

CSound::~CSound() {
    if (buffers != nullptr) {
        for (DWORD i = 0; i < bufferCount; ++i) {
            if (buffers[i] != nullptr) {
                buffers[i]->Release();
                buffers[i] = nullptr;
            }
        }
        delete[] buffers;
        buffers = nullptr;
    }
    delete decoder;
    decoder = nullptr;
    delete waveStream;
    waveStream = nullptr;
}

const WAVEFORMATEX *CSound::PlayedFormat() const {
    return decoder != nullptr ? decoder->PcmFormat() : waveStream->Format();
}

// Restore is called twice a pass with a short pause between; a device that
// keeps the buffer lost for seconds is given up on rather than waited for.
HRESULT CSound::RestoreLostBuffer(IDirectSoundBuffer *buffer) {
    HRESULT hr = DSERR_BUFFERLOST;
    for (int pass = 0; pass < kMaxRestorePasses && hr == DSERR_BUFFERLOST; ++pass) {
        if (buffer->Restore() == DSERR_BUFFERLOST) Sleep(10);
        hr = buffer->Restore();
    }
    return hr;
}

HRESULT CSound::LoadIntoBuffer(IDirectSoundBuffer *buffer) {
    if (buffer == nullptr || waveStream == nullptr) return CO_E_NOTINITIALIZED;

    DWORD status = 0;
    HRESULT hr = buffer->GetStatus(&status);
    if (FAILED(hr)) return hr;
    if (status & DSBSTATUS_BUFFERLOST) {
        hr = RestoreLostBuffer(buffer);
        if (hr == DSERR_BUFFERLOST) return hr;
    }

    void *area = nullptr;
    DWORD areaBytes = 0;
    hr = buffer->Lock(0, bufferBytes, &area, &areaBytes, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    if (area == nullptr) areaBytes = 0;

    BYTE *bytes = static_cast<BYTE *>(area);
    DWORD bytesRead = 0;
    waveStream->SeekToData();
    hr = decoder != nullptr ? decoder->Decode(waveStream, bytes, areaBytes, &bytesRead)
                            : waveStream->ReadData(bytes, areaBytes, &bytesRead);
    if (FAILED(hr)) {
        buffer->Unlock(area, areaBytes, nullptr, 0);
        return hr;
    }

    // Unsigned 8-bit samples are silent at their midpoint, all others at 0.
    const WAVEFORMATEX *format = PlayedFormat();
    const BYTE silence = (format != nullptr && format->wBitsPerSample == 8) ? 0x80 : 0x00;
    if (bytesRead < areaBytes) memset(bytes + bytesRead, silence, areaBytes - bytesRead);

    buffer->Unlock(area, areaBytes, nullptr, 0);
    return S_OK;
}

HRESULT CSound::RestoreIfLost(IDirectSoundBuffer *buffer, bool *restored) {
    *restored = false;
    DWORD status = 0;
    HRESULT hr = buffer->GetStatus(&status);
    if (FAILED(hr)) return hr;
    if (!(status & DSBSTATUS_BUFFERLOST)) return S_FALSE;

    hr = RestoreLostBuffer(buffer);
    if (hr == DSERR_BUFFERLOST) return hr;
    *restored = true;
    return S_OK;
}

IDirectSoundBuffer *CSound::ChooseBuffer() {
    if (buffers == nullptr || bufferCount == 0) return nullptr;
    for (DWORD i = 0; i < bufferCount; ++i) {
        if (buffers[i] == nullptr) continue;
        DWORD status = 0;
        buffers[i]->GetStatus(&status);
        if (!(status & DSBSTATUS_PLAYING)) return buffers[i];
    }
    return buffers[static_cast<DWORD>(rand()) % bufferCount];
}

HRESULT CSound::StartPlayback() {
    if (buffers == nullptr) return CO_E_NOTINITIALIZED;
    IDirectSoundBuffer *buffer = ChooseBuffer();
    if (buffer == nullptr) return E_FAIL;

    bool restored = false;
    HRESULT hr = RestoreIfLost(buffer, &restored);
    if (FAILED(hr)) return hr;
    if (restored) {
        // A restored buffer has lost its contents.
        hr = LoadIntoBuffer(buffer);
        if (FAILED(hr)) return hr;
    }

    if (bufferFlags & DSBCAPS_CTRLVOLUME) buffer->SetVolume(0);
    if (bufferFlags & DSBCAPS_CTRLPAN) buffer->SetPan(0);
    return buffer->Play(0, 0, 0);
}

int CSound::IsAnyBufferPlaying() {
    if (buffers == nullptr) return 0;
    DWORD playing = 0;
    for (DWORD i = 0; i < bufferCount; ++i) {
        if (buffers[i] == nullptr) continue;
        DWORD status = 0;
        buffers[i]->GetStatus(&status);
        playing |= status & DSBSTATUS_PLAYING;
    }
    return playing ? 1 : 0;
}
