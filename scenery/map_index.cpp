#include "map_index.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "scenery_cfg.h"
#include "whole_file.h"

namespace {

const char kMagic[8] = {'D', 'X', 'M', 'A', 'P', 'I', 'D', 'X'};
const uint32_t kVersion = 1;
// magic, version, file count, body bytes, body checksum
const size_t kHeaderBytes = 8 + 4 + 4 + 4 + 4;
// path length, size, write time, flags
const size_t kEntryFixedBytes = 2 + 8 + 8 + 1;
const uint8_t kHoldsAirports = 0x01;

uint32_t Fnv1a(const uint8_t *data, size_t size) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

uint64_t Get(const uint8_t *p, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
    return value;
}

void Put(std::vector<uint8_t> *out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

bool Fail(char *why, size_t whySize, const char *text) {
    snprintf(why, whySize, "%s", text);
    return false;
}

}  // namespace

bool MapIndex::Parse(const uint8_t *data, size_t size, char *why, size_t whySize) {
    files_.clear();
    order_.clear();
    if (size < kHeaderBytes || memcmp(data, kMagic, sizeof kMagic) != 0)
        return Fail(why, whySize, "not a DrovanaX map index");
    if (Get(data + 8, 4) != kVersion) return Fail(why, whySize, "an index of another version");
    const uint64_t count = Get(data + 12, 4), body = Get(data + 16, 4);
    if (body != size - kHeaderBytes) return Fail(why, whySize, "cut short or with bytes after its end");
    if (Get(data + 20, 4) != Fnv1a(data + kHeaderBytes, size - kHeaderBytes))
        return Fail(why, whySize, "its checksum does not match");
    if (count > body / kEntryFixedBytes) return Fail(why, whySize, "more files than its bytes hold");
    size_t at = kHeaderBytes;
    for (uint64_t i = 0; i < count; ++i) {
        if (size - at < kEntryFixedBytes) break;
        const size_t length = static_cast<size_t>(Get(data + at, 2));
        if (length == 0 || length >= MAX_PATH || size - at - kEntryFixedBytes < length) break;
        const std::string path(reinterpret_cast<const char *>(data + at + 2), length);
        if (path.find('\0') != std::string::npos || files_.count(path) != 0) break;
        const uint8_t *fixed = data + at + 2 + length;
        Add(path, Get(fixed, 8), Get(fixed + 8, 8), (fixed[16] & kHoldsAirports) != 0);
        at += kEntryFixedBytes + length;
    }
    if (files_.size() != count || at != size) {
        files_.clear();
        order_.clear();
        return Fail(why, whySize, "an entry does not add up");
    }
    return true;
}

bool MapIndex::Load(const char *path, char *why, size_t whySize) {
    std::vector<uint8_t> bytes;
    files_.clear();
    order_.clear();
    if (!ReadWholeFile(path, kMapIndexMaxBytes, &bytes)) return Fail(why, whySize, "missing, unreadable or too large");
    return Parse(bytes.data(), bytes.size(), why, whySize);
}

bool MapIndex::Known(const std::string &path, uint64_t size, uint64_t writeTime, bool *airports) const {
    const auto found = files_.find(path);
    if (found == files_.end() || found->second.size != size || found->second.writeTime != writeTime) return false;
    *airports = found->second.airports;
    return true;
}

void MapIndex::Add(const std::string &path, uint64_t size, uint64_t writeTime, bool airports) {
    const File file = {size, writeTime, airports};
    if (files_.insert(std::make_pair(path, file)).second) order_.push_back(path);
}

std::vector<uint8_t> MapIndex::Bytes() const {
    std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
    Put(&out, kVersion, 4);
    Put(&out, order_.size(), 4);
    Put(&out, 0, 8);  // body bytes and checksum, once the body is there
    for (const std::string &path : order_) {
        const File &file = files_.at(path);
        Put(&out, path.size(), 2);
        out.insert(out.end(), path.begin(), path.end());
        Put(&out, file.size, 8);
        Put(&out, file.writeTime, 8);
        out.push_back(file.airports ? kHoldsAirports : 0);
    }
    const size_t body = out.size() - kHeaderBytes;
    const uint32_t sum = Fnv1a(out.data() + kHeaderBytes, body);
    for (int i = 0; i < 4; ++i) out[16 + i] = static_cast<uint8_t>(body >> (8 * i));
    for (int i = 0; i < 4; ++i) out[20 + i] = static_cast<uint8_t>(sum >> (8 * i));
    return out;
}

bool MapIndex::Save(const char *path) const {
    char temporary[MAX_PATH];
    const int length = snprintf(temporary, sizeof temporary, "%s.new", path);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof temporary) return false;
    const std::vector<uint8_t> bytes = Bytes();
    const bool ok = WriteWholeFile(temporary, bytes.data(), bytes.size());
    if (ok && MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileA(temporary);
    return false;
}
