#include "wave_files.h"

#include <stdio.h>

void AppendU16(Bytes *bytes, uint16_t value) {
    bytes->push_back(static_cast<char>(value & 0xFF));
    bytes->push_back(static_cast<char>(value >> 8));
}

void AppendU32(Bytes *bytes, uint32_t value) {
    AppendU16(bytes, static_cast<uint16_t>(value & 0xFFFF));
    AppendU16(bytes, static_cast<uint16_t>(value >> 16));
}

Bytes ChunkClaiming(const char id[5], uint32_t claimedSize, const Bytes &body) {
    Bytes chunk(id, 4);
    AppendU32(&chunk, claimedSize);
    chunk += body;
    if (body.size() & 1) chunk.push_back('\0');
    return chunk;
}

Bytes Chunk(const char id[5], const Bytes &body) { return ChunkClaiming(id, static_cast<uint32_t>(body.size()), body); }

Bytes Riff(const char form[5], const Bytes &chunks) {
    Bytes file("RIFF");
    AppendU32(&file, static_cast<uint32_t>(4 + chunks.size()));
    file.append(form, 4);
    return file + chunks;
}

Bytes PcmFormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    Bytes body;
    uint16_t blockAlign = static_cast<uint16_t>(channels * ((bits + 7) / 8));
    AppendU16(&body, tag);
    AppendU16(&body, channels);
    AppendU32(&body, rate);
    AppendU32(&body, rate * blockAlign);
    AppendU16(&body, blockAlign);
    AppendU16(&body, bits);
    return body;
}

Bytes SampleBytes(size_t count) {
    Bytes data(count, '\0');
    for (size_t i = 0; i < count; ++i) data[i] = static_cast<char>(1 + (i * 7 + i / 251) % 250);
    return data;
}

Bytes PcmWave(uint16_t bits, const Bytes &data) {
    return Riff("WAVE", Chunk("fmt ", PcmFormatBody(1, 1, 22050, bits)) + Chunk("data", data));
}

TempFolder::TempFolder() {
    char base[MAX_PATH];
    GetTempPathA(sizeof(base), base);
    char name[MAX_PATH];
    snprintf(name, sizeof(name), "%skestrola-%lu-%lu", base, GetCurrentProcessId(), GetTickCount());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char candidate[MAX_PATH];
        snprintf(candidate, sizeof(candidate), "%s-%d", name, attempt);
        if (CreateDirectoryA(candidate, nullptr)) {
            path = candidate;
            return;
        }
    }
}

TempFolder::~TempFolder() {
    for (const std::string &file : files) DeleteFileA(file.c_str());
    if (!path.empty()) RemoveDirectoryA(path.c_str());
}

std::string TempFolder::Write(const char *name, const Bytes &bytes) {
    std::string file = path + "\\" + name;
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::string();
    DWORD written = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(handle);
    bool known = false;
    for (const std::string &existing : files) known = known || existing == file;
    if (!known) files.push_back(file);
    return written == bytes.size() ? file : std::string();
}

bool FileIsClosed(const std::string &path) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    CloseHandle(handle);
    return true;
}
