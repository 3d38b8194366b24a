#include "map_index.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "little_endian.h"
#include "scenery_cfg.h"
#include "whole_file.h"

namespace {

const char kMagic[8] = {'D', 'X', 'M', 'A', 'P', 'I', 'D', 'X'};
// 2: airport files carry what the map took of them.
const uint32_t kVersion = 2;
// magic, version, file count, body bytes, body checksum
const size_t kHeaderBytes = 8 + 4 + 4 + 4 + 4;
// path length, size, write time, flags
const size_t kEntryFixedBytes = 2 + 8 + 8 + 1;
const size_t kTakenSizeBytes = 4;
const uint8_t kHoldsAirports = 0x01;
const uint8_t kAirportsKept = 0x02;
// The list of files alone may take this much; the records share the rest.
const size_t kListBytes = 16u << 20;

bool Fail(char *why, size_t whySize, const char *text) {
    snprintf(why, whySize, "%s", text);
    return false;
}

// FNV-1a over 32-bit words in four lanes, rotated so that high bits reach
// the low ones: tens of megabytes are checked at every start, and a byte at
// a time would cost more than reading them. Fed in pieces of any size.
class Checksum {
public:
    void Add(const uint8_t *data, size_t size) {
        while (size > 0 && held_ > 0) {
            pending_[held_++] = *data++, --size;
            if (held_ == sizeof pending_) Blocks(pending_, sizeof pending_), held_ = 0;
        }
        const size_t whole = size - size % sizeof pending_;
        Blocks(data, whole);
        for (size_t i = whole; i < size; ++i) pending_[held_++] = data[i];
    }
    uint32_t Sum() const {
        uint32_t sum = 2166136261u;
        for (uint32_t lane : lanes_) sum = Mix(sum, lane);
        for (size_t i = 0; i < held_; ++i) sum = Mix(sum, pending_[i]);
        return Mix(sum, static_cast<uint32_t>(held_));
    }

private:
    static uint32_t Mix(uint32_t hash, uint32_t word) {
        hash = (hash ^ word) * 16777619u;
        return hash << 13 | hash >> 19;
    }
    void Blocks(const uint8_t *data, size_t size) {
        for (size_t at = 0; at < size; at += sizeof pending_) {
            for (int lane = 0; lane < 4; ++lane) {
                uint32_t word;
                memcpy(&word, data + at + 4 * lane, sizeof word);
                lanes_[lane] = Mix(lanes_[lane], word);
            }
        }
    }
    uint32_t lanes_[4] = {2166136261u, 84696351u, 3340443331u, 1812433253u};
    uint8_t pending_[16];
    size_t held_ = 0;
};

}  // namespace

uint32_t MapIndexChecksum(const uint8_t *data, size_t size) {
    Checksum sum;
    sum.Add(data, size);
    return sum.Sum();
}

void MapIndex::Clear() {
    files_.clear();
    order_.clear();
    std::deque<std::vector<uint8_t>>().swap(owned_);
    taken_ = AirportMap::TakenSizes();
    bytes_ = kHeaderBytes;
}

void MapIndex::Drop() {
    Clear();
    std::vector<uint8_t>().swap(loaded_);
}

bool MapIndex::Parse(const uint8_t *data, size_t size, char *why, size_t whySize) {
    Clear();
    if (size < kHeaderBytes || memcmp(data, kMagic, sizeof kMagic) != 0)
        return Fail(why, whySize, "not a DrovanaX map index");
    if (LittleEndianU32(data + 8) != kVersion) return Fail(why, whySize, "an index of another version");
    const uint64_t count = LittleEndianU32(data + 12), body = LittleEndianU32(data + 16);
    if (body != size - kHeaderBytes) return Fail(why, whySize, "cut short or with bytes after its end");
    if (LittleEndianU32(data + 20) != MapIndexChecksum(data + kHeaderBytes, size - kHeaderBytes))
        return Fail(why, whySize, "its checksum does not match");
    if (count > body / kEntryFixedBytes) return Fail(why, whySize, "more files than its bytes hold");
    size_t at = kHeaderBytes;
    bool recordsAddUp = true;
    for (uint64_t i = 0; i < count; ++i) {
        if (size - at < kEntryFixedBytes) break;
        const size_t length = static_cast<size_t>(LittleEndianU16(data + at));
        if (length == 0 || length >= MAX_PATH || size - at - kEntryFixedBytes < length) break;
        const std::string path(reinterpret_cast<const char *>(data + at + 2), length);
        if (path.find('\0') != std::string::npos || files_.count(path) != 0) break;
        const uint8_t *fixed = data + at + 2 + length;
        const uint8_t flags = fixed[16];
        at += kEntryFixedBytes + length;
        if ((flags & ~(kHoldsAirports | kAirportsKept)) != 0 || flags == kAirportsKept) break;
        File file = {LittleEndianU64(fixed), LittleEndianU64(fixed + 8), (flags & kHoldsAirports) != 0, nullptr, 0};
        if (flags & kAirportsKept) {
            if (size - at < kTakenSizeBytes) break;
            file.takenSize = static_cast<size_t>(LittleEndianU32(data + at));
            at += kTakenSizeBytes;
            if (file.takenSize > size - at) break;
            file.taken = data + at;
            at += file.takenSize;
            recordsAddUp = AirportMap::TakenAddsUp(file.taken, file.takenSize, &taken_);
            if (!recordsAddUp) break;
        }
        Insert(path, file);
    }
    if (files_.size() != count || at != size) {
        Clear();
        return Fail(why, whySize,
                    recordsAddUp ? "an entry does not add up" : "the airports kept of a file do not add up");
    }
    return true;
}

bool MapIndex::Load(const char *path, char *why, size_t whySize) {
    Drop();
    if (!ReadWholeFile(path, kMapIndexMaxBytes, &loaded_))
        return Fail(why, whySize, "missing, unreadable or too large");
    if (Parse(loaded_.data(), loaded_.size(), why, whySize)) return true;
    Drop();
    return false;
}

bool MapIndex::Known(const std::string &path, uint64_t size, uint64_t writeTime, bool *airports,
                     const uint8_t **taken, size_t *takenSize) const {
    const auto found = files_.find(path);
    if (found == files_.end() || found->second.size != size || found->second.writeTime != writeTime) return false;
    *airports = found->second.airports;
    if (taken != nullptr) *taken = found->second.taken;
    if (takenSize != nullptr) *takenSize = found->second.takenSize;
    return true;
}

void MapIndex::Insert(const std::string &path, const File &file) {
    // What Parse would refuse is never written: an entry's path goes through
    // a MAX_PATH buffer on its way out.
    if (path.empty() || path.size() >= MAX_PATH) return;
    const auto inserted = files_.insert(std::make_pair(path, file));
    if (!inserted.second) return;
    order_.push_back(&*inserted.first);
    bytes_ += kEntryFixedBytes + path.size() + (file.taken != nullptr ? kTakenSizeBytes + file.takenSize : 0);
}

void MapIndex::Add(const std::string &path, uint64_t size, uint64_t writeTime, bool airports) {
    Insert(path, File{size, writeTime, airports, nullptr, 0});
}

// A library too large for all its airports keeps the first ones; the rest
// are read at each start as before there was an index.
bool MapIndex::Fits(size_t takenSize) const {
    const size_t records = kMapIndexMaxBytes - kListBytes;
    return takenSize <= records && bytes_ + kTakenSizeBytes + takenSize <= records;
}

void MapIndex::AddBorrowed(const std::string &path, uint64_t size, uint64_t writeTime, const uint8_t *taken,
                           size_t takenSize) {
    const bool fits = Fits(takenSize);
    Insert(path, File{size, writeTime, true, fits ? taken : nullptr, fits ? takenSize : 0});
}

void MapIndex::Add(const std::string &path, uint64_t size, uint64_t writeTime, std::vector<uint8_t> &&taken) {
    if (files_.count(path) != 0) return;
    if (!Fits(taken.size())) {
        Add(path, size, writeTime, true);
        return;
    }
    // Its own size: a record grown by appending holds up to twice its bytes.
    owned_.emplace_back(taken.begin(), taken.end());
    std::vector<uint8_t>().swap(taken);
    AddBorrowed(path, size, writeTime, owned_.back().data(), owned_.back().size());
}

bool MapIndex::SameAs(const MapIndex &other) const {
    if (order_.size() != other.order_.size()) return false;
    for (size_t i = 0; i < order_.size(); ++i) {
        const File &a = order_[i]->second, &b = other.order_[i]->second;
        if (order_[i]->first != other.order_[i]->first || a.size != b.size || a.writeTime != b.writeTime ||
            a.airports != b.airports || (a.taken == nullptr) != (b.taken == nullptr) || a.takenSize != b.takenSize ||
            (a.taken != b.taken && a.takenSize > 0 && memcmp(a.taken, b.taken, a.takenSize) != 0))
            return false;
    }
    return true;
}

template <typename Write>
uint32_t MapIndex::EmitBody(Write write) const {
    Checksum sum;
    for (const Files::value_type *entry : order_) {
        const std::string &path = entry->first;
        const File &file = entry->second;
        uint8_t fixed[kEntryFixedBytes + MAX_PATH + kTakenSizeBytes];
        uint8_t *at = PutLittleEndian(fixed, path.size(), 2);
        memcpy(at, path.data(), path.size());
        at = PutLittleEndian(at + path.size(), file.size, 8);
        at = PutLittleEndian(at, file.writeTime, 8);
        *at++ = (file.airports ? kHoldsAirports : 0) | (file.taken != nullptr ? kAirportsKept : 0);
        if (file.taken != nullptr) at = PutLittleEndian(at, file.takenSize, kTakenSizeBytes);
        sum.Add(fixed, at - fixed);
        write(fixed, static_cast<size_t>(at - fixed));
        if (file.taken == nullptr) continue;
        sum.Add(file.taken, file.takenSize);
        write(file.taken, file.takenSize);
    }
    return sum.Sum();
}

void MapIndex::Header(uint8_t *header, uint32_t checksum) const {
    memcpy(header, kMagic, sizeof kMagic);
    uint8_t *at = PutLittleEndian(header + sizeof kMagic, kVersion, 4);
    at = PutLittleEndian(at, order_.size(), 4);
    at = PutLittleEndian(at, bytes_ - kHeaderBytes, 4);
    PutLittleEndian(at, checksum, 4);
}

std::vector<uint8_t> MapIndex::Bytes() const {
    std::vector<uint8_t> out(kHeaderBytes);
    out.reserve(bytes_);
    const uint32_t sum =
        EmitBody([&out](const uint8_t *data, size_t size) { out.insert(out.end(), data, data + size); });
    Header(out.data(), sum);
    return out;
}

// Streamed to the file: the index is as large as the map, and a second copy
// of it in memory would raise the program's peak by as much.
bool MapIndex::Save(const char *path) const {
    char temporary[MAX_PATH];
    const int length = snprintf(temporary, sizeof temporary, "%s.new", path);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof temporary || bytes_ > kMapIndexMaxBytes) return false;
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::vector<uint8_t> buffer;
    buffer.reserve(1u << 16);
    bool ok = true;
    auto flush = [&]() {
        DWORD written = 0;
        ok = ok && WriteFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &written, nullptr) &&
             written == buffer.size();
        buffer.clear();
    };
    uint8_t header[kHeaderBytes] = {};
    buffer.assign(header, header + sizeof header);  // its place, filled in once the body is summed
    const uint32_t sum = EmitBody([&](const uint8_t *data, size_t size) {
        while (size > 0) {
            const size_t part = std::min(size, buffer.capacity() - buffer.size());
            buffer.insert(buffer.end(), data, data + part);
            data += part, size -= part;
            if (buffer.size() == buffer.capacity()) flush();
        }
    });
    flush();
    Header(header, sum);
    buffer.assign(header, header + sizeof header);
    ok = ok && SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0;
    flush();
    CloseHandle(file);
    if (ok && MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileA(temporary);
    return false;
}
