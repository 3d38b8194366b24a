#include "wave_stream.h"

#include <stdlib.h>
#include <string.h>

namespace {

const FOURCC kRiff = mmioFOURCC('R', 'I', 'F', 'F');
const FOURCC kWave = mmioFOURCC('W', 'A', 'V', 'E');
const FOURCC kFmt = mmioFOURCC('f', 'm', 't', ' ');
const FOURCC kData = mmioFOURCC('d', 'a', 't', 'a');

// The PCM part of a format chunk: everything of WAVEFORMATEX before cbSize.
const LONG kPcmFormatBytes = 16;

}  // namespace

CWaveStream::CWaveStream() : format(nullptr), file(nullptr), dataChunk(), riffChunk(), dataSize(0), heldDataSize(0) {}

CWaveStream::~CWaveStream() {
    CloseFile();
    FreeFormat();
}

void CWaveStream::FreeFormat() {
    free(format);
    format = nullptr;
}

HRESULT CWaveStream::OpenForReading(const char *path) {
    FreeFormat();
    CloseFile();
    dataSize = 0;
    heldDataSize = 0;
    if (path == nullptr) return E_FAIL;

    // MMIO_ALLOCBUF: multimedia I/O reads through a buffer of its own, which
    // ReadData copies from directly.
    file = mmioOpenA(const_cast<char *>(path), nullptr, MMIO_ALLOCBUF | MMIO_READ);
    if (file == nullptr) return E_FAIL;

    HRESULT hr = ReadHeader();
    if (FAILED(hr)) {
        CloseFile();
        return hr;
    }
    hr = SeekToData();
    if (FAILED(hr)) return hr;
    const DWORD held = BytesHeldAfter(dataChunk.dwDataOffset);
    if (mmioSeek(file, static_cast<LONG>(dataChunk.dwDataOffset), SEEK_SET) == -1) return E_FAIL;
    dataSize = dataChunk.cksize;
    heldDataSize = held < dataSize ? held : dataSize;
    return S_OK;
}

// The file's length from the offset on, found by a seek to its end; the
// position is left wherever that took it.
DWORD CWaveStream::BytesHeldAfter(DWORD offset) {
    const LONG end = mmioSeek(file, 0, SEEK_END);
    if (end == -1 || static_cast<DWORD>(end) < offset) return 0;
    return static_cast<DWORD>(end) - offset;
}

HRESULT CWaveStream::ReadHeader() {
    FreeFormat();

    if (mmioDescend(file, &riffChunk, nullptr, 0) != MMSYSERR_NOERROR) return E_FAIL;
    if (riffChunk.ckid != kRiff || riffChunk.fccType != kWave) return E_FAIL;

    MMCKINFO fmtChunk = {};
    if (FAILED(FindSubChunk(kFmt, &fmtChunk))) return E_FAIL;
    if (fmtChunk.cksize < static_cast<DWORD>(kPcmFormatBytes)) return E_FAIL;

    PCMWAVEFORMAT pcm;
    static_assert(sizeof(pcm) == kPcmFormatBytes, "PCM part of the format chunk");
    if (mmioRead(file, reinterpret_cast<HPSTR>(&pcm), kPcmFormatBytes) != kPcmFormatBytes) return E_FAIL;

    if (pcm.wf.wFormatTag == WAVE_FORMAT_PCM) {
        format = static_cast<WAVEFORMATEX *>(malloc(sizeof(WAVEFORMATEX)));
        if (format == nullptr) return E_FAIL;
        memcpy(format, &pcm, kPcmFormatBytes);
        format->cbSize = 0;
    } else {
        // cbSize and the extra bytes belong to the chunk only when it is long
        // enough to hold them: a 16-byte chunk (legal for mu-law and A-law)
        // has none, and what follows it is the next chunk's header.
        WORD extraBytes = 0;
        const DWORD beyondPcm = fmtChunk.cksize - static_cast<DWORD>(kPcmFormatBytes);
        if (beyondPcm >= sizeof(extraBytes)) {
            if (mmioRead(file, reinterpret_cast<HPSTR>(&extraBytes), sizeof(extraBytes)) != sizeof(extraBytes)) {
                return E_FAIL;
            }
            const DWORD held = beyondPcm - sizeof(extraBytes);
            if (extraBytes > held) extraBytes = static_cast<WORD>(held);
        }
        format = static_cast<WAVEFORMATEX *>(malloc(sizeof(WAVEFORMATEX) + extraBytes));
        if (format == nullptr) return E_FAIL;
        memcpy(format, &pcm, kPcmFormatBytes);
        format->cbSize = extraBytes;
        if (mmioRead(file, reinterpret_cast<HPSTR>(format + 1), extraBytes) != extraBytes) {
            FreeFormat();
            return E_FAIL;
        }
    }

    if (mmioAscend(file, &fmtChunk, 0) != MMSYSERR_NOERROR) {
        FreeFormat();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CWaveStream::SeekToData() {
    if (file == nullptr) return CO_E_NOTINITIALIZED;

    // Back to the first sub-chunk, right after the form type, so that "data"
    // is found whether it stands before or after "fmt ".
    if (mmioSeek(file, static_cast<LONG>(riffChunk.dwDataOffset + sizeof(FOURCC)), SEEK_SET) == -1) {
        return E_FAIL;
    }
    return FindSubChunk(kData, &dataChunk);
}

// Walks the RIFF chunk's sub-chunks from the current position to the one with
// this identifier, leaving the position at its first data byte. The walk is
// ours rather than MMIO_FINDCHUNK's: a chunk size near 0xFFFFFFFF wraps
// multimedia I/O's 32-bit arithmetic back onto the same chunk, and its search
// then never ends. Here every step must move forward inside the RIFF chunk.
HRESULT CWaveStream::FindSubChunk(FOURCC id, MMCKINFO *chunk) {
    const ULONGLONG riffEnd = static_cast<ULONGLONG>(riffChunk.dwDataOffset) + riffChunk.cksize;
    for (;;) {
        MMCKINFO candidate = {};
        if (mmioDescend(file, &candidate, &riffChunk, 0) != MMSYSERR_NOERROR) return E_FAIL;
        if (candidate.ckid == id) {
            if (mmioSeek(file, static_cast<LONG>(candidate.dwDataOffset), SEEK_SET) == -1) return E_FAIL;
            *chunk = candidate;
            return S_OK;
        }
        const ULONGLONG next =
            static_cast<ULONGLONG>(candidate.dwDataOffset) + candidate.cksize + (candidate.cksize & 1);
        if (next > riffEnd || next > 0x7FFFFFFF) return E_FAIL;
        if (mmioSeek(file, static_cast<LONG>(next), SEEK_SET) == -1) return E_FAIL;
    }
}

HRESULT CWaveStream::ReadData(BYTE *destination, DWORD count, DWORD *bytesRead) {
    if (file == nullptr) return CO_E_NOTINITIALIZED;
    if (destination == nullptr || bytesRead == nullptr) return E_INVALIDARG;
    *bytesRead = 0;

    MMIOINFO io;
    if (mmioGetInfo(file, &io, 0) != MMSYSERR_NOERROR) return E_FAIL;

    if (count > dataChunk.cksize) count = dataChunk.cksize;
    dataChunk.cksize -= count;

    // Straight out of multimedia I/O's own buffer, refilling it whenever it
    // runs dry.
    DWORD copied = 0;
    bool fileEnded = false;
    while (copied < count) {
        if (io.pchNext == io.pchEndRead) {
            if (mmioAdvance(file, &io, MMIO_READ) != MMSYSERR_NOERROR || io.pchNext == io.pchEndRead) {
                fileEnded = true;
                break;
            }
        }
        destination[copied++] = static_cast<BYTE>(*io.pchNext++);
    }

    // The buffer state goes back even when the file ran out, so that a later
    // SeekToData starts from what multimedia I/O really holds.
    if (mmioSetInfo(file, &io, 0) != MMSYSERR_NOERROR || fileEnded) return E_FAIL;
    *bytesRead = copied;
    return S_OK;
}

HRESULT CWaveStream::CloseFile() {
    if (file != nullptr) {
        mmioClose(file, 0);
        file = nullptr;
    }
    return S_OK;
}
