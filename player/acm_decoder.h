// Turns the data of a compressed WAVE file (MS and IMA ADPCM, mu-law, A-law,
// MPEG Layer-3 and whatever else the platform's Audio Compression Manager has
// a codec for) into PCM that DirectSound plays. Owns the ACM stream and closes
// it; kept open beside the sound so that a lost buffer can be decoded again.
#ifndef KESTROLA_ACM_DECODER_H
#define KESTROLA_ACM_DECODER_H

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include "wave_stream.h"

// No codec of this machine decodes the file's format:
// HRESULT_FROM_WIN32(ERROR_UNSUPPORTED_TYPE).
const HRESULT KESTROLA_E_UNDECODABLE = static_cast<HRESULT>(0x8007065EL);

// Whether a format goes through the decoder; PCM, float and
// WAVE_FORMAT_EXTENSIBLE go to DirectSound as they are.
bool NeedsDecoding(const WAVEFORMATEX *format);

class CAcmDecoder {
public:
    CAcmDecoder();
    ~CAcmDecoder();
    CAcmDecoder(const CAcmDecoder &) = delete;
    CAcmDecoder &operator=(const CAcmDecoder &) = delete;

    // Opens a conversion from the file's format to the PCM format the
    // platform suggests for it, and works out, before any buffer is made,
    // how many PCM bytes the heldBytes of data the file really holds decode
    // to, at most kMaxPcmBytes. KESTROLA_E_UNDECODABLE when no codec takes
    // the format; E_FAIL when not one whole block of data is held.
    HRESULT Open(const WAVEFORMATEX *fileFormat, DWORD heldBytes);

    const WAVEFORMATEX *PcmFormat() const { return &pcm; }
    // Size of the decoded sound in bytes, whole PCM frames; 0 before an Open.
    DWORD PcmBytes() const { return pcmBytes; }

    // Decodes the stream's data from where it stands (its first byte, after
    // SeekToData) into destination, at most capacity bytes. A codec that
    // stops part way leaves what it decoded: S_OK when that is anything.
    HRESULT Decode(CWaveStream *stream, BYTE *destination, DWORD capacity, DWORD *written);

    // Ten minutes of 48 kHz stereo 16-bit, and a second to spare for the
    // padding of a last block: a cue that long is heard whole.
    static const DWORD kMaxPcmBytes = 601u * 48000u * 2u * 2u;

private:
    void Close();

    HACMSTREAM acmStream;
    WAVEFORMATEX *fileFormat;  // owned copy, 18 bytes plus cbSize
    WAVEFORMATEX pcm;
    DWORD sourceBytes;  // the whole blocks of data that are decoded
    DWORD pcmBytes;
};

#endif
