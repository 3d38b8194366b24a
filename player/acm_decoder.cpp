#include "acm_decoder.h"

#include <stdlib.h>
#include <string.h>

#include <memory>
#include <new>

namespace {

// Compressed data is read and converted this much at a time (whole blocks).
const DWORD kSourceChunkBytes = 64 * 1024;

DWORD WholeUnits(DWORD bytes, DWORD unit) { return unit > 1 ? bytes - bytes % unit : bytes; }

DWORD Smaller(DWORD a, DWORD b) { return a < b ? a : b; }

}  // namespace

bool NeedsDecoding(const WAVEFORMATEX *format) {
    if (format == nullptr) return false;
    switch (format->wFormatTag) {
    case WAVE_FORMAT_PCM:
    case WAVE_FORMAT_IEEE_FLOAT:
    case WAVE_FORMAT_EXTENSIBLE:
        return false;
    default:
        return true;
    }
}

CAcmDecoder::CAcmDecoder() : acmStream(nullptr), fileFormat(nullptr), pcm(), sourceBytes(0), pcmBytes(0) {}

CAcmDecoder::~CAcmDecoder() {
    Close();
    free(fileFormat);
}

void CAcmDecoder::Close() {
    if (acmStream != nullptr) {
        acmStreamClose(acmStream, 0);
        acmStream = nullptr;
    }
}

HRESULT CAcmDecoder::Open(const WAVEFORMATEX *format, DWORD heldBytes) {
    Close();
    free(fileFormat);
    fileFormat = nullptr;
    sourceBytes = 0;
    pcmBytes = 0;
    if (format == nullptr) return E_FAIL;

    const size_t formatBytes = sizeof(WAVEFORMATEX) + format->cbSize;
    fileFormat = static_cast<WAVEFORMATEX *>(malloc(formatBytes));
    if (fileFormat == nullptr) return E_OUTOFMEMORY;
    memcpy(fileFormat, format, formatBytes);

    pcm = WAVEFORMATEX();
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    if (acmFormatSuggest(nullptr, fileFormat, &pcm, sizeof(pcm), ACM_FORMATSUGGESTF_WFORMATTAG) != MMSYSERR_NOERROR) {
        return KESTROLA_E_UNDECODABLE;
    }
    pcm.cbSize = 0;
    if (pcm.nBlockAlign == 0) return KESTROLA_E_UNDECODABLE;
    if (acmStreamOpen(&acmStream, nullptr, fileFormat, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) !=
        MMSYSERR_NOERROR) {
        acmStream = nullptr;
        return KESTROLA_E_UNDECODABLE;
    }

    // Only whole blocks decode, and only those the file really holds: a copy
    // cut short claims far more than it has.
    DWORD source = WholeUnits(heldBytes, fileFormat->nBlockAlign);
    // Data beyond what decodes to the cap is never read, and the size asked
    // for below stays far from overflowing. Codecs that cannot answer this
    // question are bounded by the cap on the answer alone.
    DWORD sourceForCap = 0;
    if (acmStreamSize(acmStream, kMaxPcmBytes, &sourceForCap, ACM_STREAMSIZEF_DESTINATION) == MMSYSERR_NOERROR &&
        sourceForCap > 0 && sourceForCap < source) {
        source = sourceForCap;
    }
    if (source == 0) return E_FAIL;

    DWORD decoded = 0;
    if (acmStreamSize(acmStream, source, &decoded, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR) return E_FAIL;
    decoded = WholeUnits(Smaller(decoded, kMaxPcmBytes), pcm.nBlockAlign);
    if (decoded == 0) return E_FAIL;
    sourceBytes = source;
    pcmBytes = decoded;
    return S_OK;
}

HRESULT CAcmDecoder::Decode(CWaveStream *stream, BYTE *destination, DWORD capacity, DWORD *written) {
    if (written == nullptr || destination == nullptr || stream == nullptr) return E_INVALIDARG;
    *written = 0;
    if (acmStream == nullptr) return CO_E_NOTINITIALIZED;

    const DWORD block = fileFormat->nBlockAlign > 0 ? fileFormat->nBlockAlign : 1;
    DWORD chunk = WholeUnits(kSourceChunkBytes, block);
    if (chunk == 0) chunk = block;
    DWORD chunkDecoded = 0;
    if (acmStreamSize(acmStream, chunk, &chunkDecoded, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR ||
        chunkDecoded == 0) {
        return E_FAIL;
    }
    std::unique_ptr<BYTE[]> in(new (std::nothrow) BYTE[chunk]);
    std::unique_ptr<BYTE[]> out(new (std::nothrow) BYTE[chunkDecoded]);
    if (!in || !out) return E_OUTOFMEMORY;

    ACMSTREAMHEADER header = {};
    header.cbStruct = sizeof(header);
    header.pbSrc = in.get();
    header.cbSrcLength = chunk;
    header.pbDst = out.get();
    header.cbDstLength = chunkDecoded;
    if (acmStreamPrepareHeader(acmStream, &header, 0) != MMSYSERR_NOERROR) return E_FAIL;

    HRESULT hr = S_OK;
    DWORD left = sourceBytes;  // not yet read from the file
    DWORD pending = 0;         // read, not yet taken by the codec
    // START makes a codec that carries state from block to block (MPEG)
    // begin afresh, as a refill after a lost buffer must.
    DWORD flags = ACM_STREAMCONVERTF_START;
    while (*written < capacity) {
        const DWORD wanted = Smaller(chunk - pending, left);
        if (wanted > 0) {
            DWORD got = 0;
            if (FAILED(stream->ReadData(in.get() + pending, wanted, &got)) || got == 0) {
                left = 0;  // the file ended early after all: decode what came
            } else {
                pending += got;
                left -= got;
            }
        }
        const bool lastInput = left == 0;
        flags |= lastInput ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN;
        header.cbSrcLength = pending;
        header.cbSrcLengthUsed = 0;
        header.cbDstLengthUsed = 0;
        if (acmStreamConvert(acmStream, &header, flags) != MMSYSERR_NOERROR) {
            hr = E_FAIL;
            break;
        }
        flags = 0;

        const DWORD produced = Smaller(header.cbDstLengthUsed, chunkDecoded);
        const DWORD kept = Smaller(produced, capacity - *written);
        memcpy(destination + *written, out.get(), kept);
        *written += kept;
        const DWORD taken = Smaller(header.cbSrcLengthUsed, pending);
        memmove(in.get(), in.get() + taken, pending - taken);
        pending -= taken;

        // A codec that takes and gives nothing more is done (at the end) or
        // stuck on data it cannot use (a full chunk it will not touch).
        if (taken == 0 && produced == 0 && (lastInput || pending == chunk)) break;
    }

    // The header is unprepared with the source length it was prepared with.
    header.cbSrcLength = chunk;
    acmStreamUnprepareHeader(acmStream, &header, 0);
    if (*written == 0) return FAILED(hr) ? hr : E_FAIL;
    return S_OK;
}
