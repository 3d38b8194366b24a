#include "sound_device.h"

#include <new>

namespace {

typedef HRESULT(WINAPI *DirectSoundCreate8Function)(LPCGUID, LPDIRECTSOUND8 *, LPUNKNOWN);

// dsound.dll exports DirectSoundCreate8 under this ordinal on every version
// that has it.
const WORD kDirectSoundCreate8Ordinal = 11;

// The buffer description carries its own size: 36 bytes in the 32-bit player
// that ships.
#if defined(__i386__)
static_assert(sizeof(DSBUFFERDESC) == 36, "the shipped player describes its buffers with the 32-bit record");
#endif

// A file cut short (an interrupted copy) claims more data than it holds, up to
// gigabytes: the buffer holds only what is really there, in whole sample
// frames, so the sound plays that and ends.
DWORD PlayableBytes(const CWaveStream &stream) {
    const DWORD held = stream.HeldDataSize();
    if (held == stream.DataSize()) return held;
    const WAVEFORMATEX *format = stream.Format();
    const DWORD frame = (format != nullptr && format->nBlockAlign > 0) ? format->nBlockAlign : 1;
    return held - held % frame;
}

}  // namespace

CSoundDevice::CSoundDevice() : directSound(nullptr), dsoundModule(nullptr) {}

CSoundDevice::CSoundDevice(IDirectSound8 *directSound) : directSound(directSound), dsoundModule(nullptr) {}

CSoundDevice::~CSoundDevice() {
    if (directSound != nullptr) {
        directSound->Release();
        directSound = nullptr;
    }
    if (dsoundModule != nullptr) {
        FreeLibrary(dsoundModule);
        dsoundModule = nullptr;
    }
}

void CSoundDevice::OpenDevice(HWND window) {
    if (directSound != nullptr) return;
    if (dsoundModule == nullptr) dsoundModule = LoadLibraryA("dsound.dll");
    if (dsoundModule == nullptr) return;

    FARPROC entry = GetProcAddress(dsoundModule, MAKEINTRESOURCEA(kDirectSoundCreate8Ordinal));
    if (entry == nullptr) return;
    DirectSoundCreate8Function create =
        reinterpret_cast<DirectSoundCreate8Function>(reinterpret_cast<void (*)(void)>(entry));

    IDirectSound8 *created = nullptr;
    if (FAILED(create(nullptr, &created, nullptr)) || created == nullptr) return;
    directSound = created;
    directSound->SetCooperativeLevel(window, DSSCL_PRIORITY);
}

HRESULT CSoundDevice::LoadSound(const char *path, REFGUID algorithm, CSound **currentSound) {
    if (currentSound == nullptr) return E_INVALIDARG;
    // Only one sound, one buffer and one open file exist at a time.
    delete *currentSound;
    *currentSound = nullptr;

    if (directSound == nullptr) return CO_E_NOTINITIALIZED;

    CWaveStream *stream = new (std::nothrow) CWaveStream();
    if (stream == nullptr) return E_OUTOFMEMORY;
    stream->OpenForReading(path);
    const WAVEFORMATEX *playedFormat = stream->Format();
    DWORD bufferBytes = PlayableBytes(*stream);
    CAcmDecoder *decoder = nullptr;
    if (bufferBytes > 0 && NeedsDecoding(playedFormat)) {
        // Compressed data is decoded into the buffer as PCM; the decoder
        // stays with the sound for refills.
        decoder = new (std::nothrow) CAcmDecoder();
        if (decoder == nullptr) {
            delete stream;
            return E_OUTOFMEMORY;
        }
        const HRESULT opened = decoder->Open(playedFormat, stream->HeldDataSize());
        if (FAILED(opened)) {
            delete decoder;
            delete stream;
            return opened;
        }
        playedFormat = decoder->PcmFormat();
        bufferBytes = decoder->PcmBytes();
    }
    if (bufferBytes == 0) {
        delete stream;
        return E_FAIL;
    }

    DSBUFFERDESC description = {};
    description.dwSize = sizeof(description);
    // Global focus keeps the sound audible while the simulator has the focus;
    // the player's hidden window never gets it.
    description.dwFlags = DSBCAPS_GLOBALFOCUS;
    description.dwBufferBytes = bufferBytes;
    description.dwReserved = 0;
    description.lpwfxFormat = const_cast<WAVEFORMATEX *>(playedFormat);
    description.guid3DAlgorithm = algorithm;

    IDirectSoundBuffer *buffer = nullptr;
    HRESULT result = directSound->CreateSoundBuffer(&description, &buffer, nullptr);
    if (result != DS_NO_VIRTUALIZATION) {
        if (FAILED(result) || buffer == nullptr) {
            if (buffer != nullptr) buffer->Release();
            delete decoder;
            delete stream;
            return FAILED(result) ? result : E_FAIL;
        }
        result = S_OK;
    }

    CSound *sound = new (std::nothrow) CSound(buffer, bufferBytes, stream, decoder);
    if (sound == nullptr) {
        buffer->Release();
        delete decoder;
        delete stream;
        return E_OUTOFMEMORY;
    }
    *currentSound = sound;
    return result;
}
