// Numbers as the map program's files hold them, BGL files and its own index
// alike: little-endian whatever the machine, at any alignment. The caller has
// checked that the bytes lie within what was read.
#ifndef DROVANA_SCENERY_LITTLE_ENDIAN_H
#define DROVANA_SCENERY_LITTLE_ENDIAN_H

#include <stdint.h>
#include <string.h>

inline uint16_t LittleEndianU16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t LittleEndianU32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

inline uint64_t LittleEndianU64(const uint8_t *p) {
    return static_cast<uint64_t>(LittleEndianU32(p)) | static_cast<uint64_t>(LittleEndianU32(p + 4)) << 32;
}

inline float LittleEndianF32(const uint8_t *p) {
    const uint32_t bits = LittleEndianU32(p);
    float value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

// Writes the low `bytes` bytes of value at out; returns the byte after them.
inline uint8_t *PutLittleEndian(uint8_t *out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
    return out + bytes;
}

#endif
