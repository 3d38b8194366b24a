// Builds RIFF WAVE files chunk by chunk in a temporary folder, so a test can
// say exactly which chunks a file has and how big each claims to be.
#ifndef DROVANA_TESTS_PLAYER_WAVE_FILES_H
#define DROVANA_TESTS_PLAYER_WAVE_FILES_H

#include <windows.h>

#include <stdint.h>
#include <string>
#include <vector>

typedef std::string Bytes;

void AppendU16(Bytes *bytes, uint16_t value);
void AppendU32(Bytes *bytes, uint32_t value);

// A chunk with its header; the size field says claimedSize when given, else
// the body's length. Odd bodies get their pad byte.
Bytes Chunk(const char id[5], const Bytes &body);
Bytes ChunkClaiming(const char id[5], uint32_t claimedSize, const Bytes &body);
// "RIFF" <size of what follows> form, then the chunks.
Bytes Riff(const char form[5], const Bytes &chunks);

// The 16-byte PCM part of a "fmt " body.
Bytes PcmFormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits);
// Sample bytes that differ from each other and from silence.
Bytes SampleBytes(size_t count);
// A complete 16-bit or 8-bit PCM file around the given data.
Bytes PcmWave(uint16_t bits, const Bytes &data);

// A fresh folder under the system temporary folder, removed with its files.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string &Path() const { return path; }
    // Writes the bytes to a file of that name in the folder; returns its path.
    std::string Write(const char *name, const Bytes &bytes);

private:
    std::string path;
    std::vector<std::string> files;
};

// True when nobody holds the file open: it can be opened with no sharing.
bool FileIsClosed(const std::string &path);

#endif
