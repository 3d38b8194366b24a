#include "scenery_files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "temp_files.h"

std::string TestAirportPath(const char *name) {
    char exe[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, exe, sizeof exe);
    std::string folder(exe, length);
    folder = folder.substr(0, folder.find_last_of('\\') + 1);
    return folder + "scenery_data\\" + name + ".bgl";
}

BglBytes TestAirport(const char *name) {
    std::string text;
    if (!ReadFileBytes(TestAirportPath(name), &text)) return BglBytes();
    return BglBytes(text.begin(), text.end());
}

uint32_t ReadU32(const BglBytes &b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// A write past the bytes is the test's own fault: said, and not done.
void WriteU16(BglBytes *b, size_t at, uint16_t value) {
    if (at + 2 > b->size()) {
        ADD_FAILURE() << "a 2-byte write at " << at << " past " << b->size() << " bytes";
        return;
    }
    (*b)[at] = value & 0xFF;
    (*b)[at + 1] = value >> 8;
}

void WriteU32(BglBytes *b, size_t at, uint32_t value) {
    if (at + 4 > b->size()) {
        ADD_FAILURE() << "a 4-byte write at " << at << " past " << b->size() << " bytes";
        return;
    }
    for (int i = 0; i < 4; ++i) (*b)[at + i] = (value >> (8 * i)) & 0xFF;
}

size_t FirstAirportRecord(const BglBytes &b) {
    const size_t subsections = ReadU32(b, 0x38 + 12);  // the one section's subsection table
    return ReadU32(b, subsections + 8);
}

size_t SubrecordOf(const BglBytes &b, size_t airport, uint16_t id) {
    const size_t end = airport + ReadU32(b, airport + 2);
    for (size_t at = airport + 0x38; at + 6 <= end; at += ReadU32(b, at + 2)) {
        if ((b[at] | b[at + 1] << 8) == id) return at;
        if (ReadU32(b, at + 2) < 6) break;
    }
    return 0;
}

bool WriteBytes(const std::string &path, const BglBytes &bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(file);
    return ok;
}
