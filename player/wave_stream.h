// Reads a RIFF WAVE file through the multimedia file I/O functions: checks the
// header, keeps a copy of the format record and hands out the "data" chunk.
#ifndef KESTROLA_WAVE_STREAM_H
#define KESTROLA_WAVE_STREAM_H

#include <windows.h>
#include <mmsystem.h>

class CWaveStream {
public:
    CWaveStream();
    ~CWaveStream();
    CWaveStream(const CWaveStream &) = delete;
    CWaveStream &operator=(const CWaveStream &) = delete;

    // Opens the file, reads its header and leaves the position at the first
    // data byte. A missing "data" chunk leaves the file open with dataSize 0.
    HRESULT OpenForReading(const char *path);
    // Makes the whole data chunk readable again from its first byte.
    HRESULT SeekToData();
    // Copies at most count bytes of what is left of the data chunk.
    HRESULT ReadData(BYTE *destination, DWORD count, DWORD *bytesRead);
    HRESULT CloseFile();

    // The file's format record (18 bytes plus cbSize), or null before an open.
    const WAVEFORMATEX *Format() const { return format; }
    // Size of the data chunk as found at open; 0 until an open succeeded.
    DWORD DataSize() const { return dataSize; }
    // The part of that size the file really holds: less than DataSize when
    // the file ends before its data chunk does (a cut-short copy).
    DWORD HeldDataSize() const { return heldDataSize; }

private:
    HRESULT ReadHeader();
    HRESULT FindSubChunk(FOURCC id, MMCKINFO *chunk);
    DWORD BytesHeldAfter(DWORD offset);
    void FreeFormat();

    WAVEFORMATEX *format;
    HMMIO file;
    MMCKINFO dataChunk;  // cksize counts down as ReadData hands bytes out
    MMCKINFO riffChunk;
    DWORD dataSize;
    DWORD heldDataSize;
};

#endif
