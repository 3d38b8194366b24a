#include "tone_files.h"

#include <mmsystem.h>
#include <mmreg.h>

#include <math.h>
#include <string.h>

#include <vector>

namespace {

void Put16(std::vector<BYTE> *out, WORD value) { out->insert(out->end(), {BYTE(value), BYTE(value >> 8)}); }
void Put32(std::vector<BYTE> *out, DWORD value) {
    Put16(out, static_cast<WORD>(value));
    Put16(out, static_cast<WORD>(value >> 16));
}
void PutId(std::vector<BYTE> *out, const char *id) { out->insert(out->end(), id, id + 4); }

// RIFF, "fmt " with the whole format record, "data" with the samples.
bool WriteWave(const char *path, const WAVEFORMATEX *format, const std::vector<BYTE> &data) {
    const DWORD formatBytes = sizeof(WAVEFORMATEX) + format->cbSize;
    std::vector<BYTE> head;
    PutId(&head, "RIFF");
    Put32(&head, 4 + 8 + formatBytes + 8 + static_cast<DWORD>(data.size()));
    PutId(&head, "WAVE");
    PutId(&head, "fmt ");
    Put32(&head, formatBytes);
    const BYTE *record = reinterpret_cast<const BYTE *>(format);
    head.insert(head.end(), record, record + formatBytes);
    if (formatBytes & 1) head.push_back(0);
    PutId(&head, "data");
    Put32(&head, static_cast<DWORD>(data.size()));

    HANDLE out = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0, written2 = 0;
    BOOL ok = WriteFile(out, head.data(), static_cast<DWORD>(head.size()), &written, nullptr) &&
              WriteFile(out, data.data(), static_cast<DWORD>(data.size()), &written2, nullptr);
    CloseHandle(out);
    return ok && written == head.size() && written2 == data.size();
}

// A slow sweep between 200 and 1200 Hz, the channels a little apart.
std::vector<BYTE> Tone(DWORD seconds, DWORD rate, WORD channels) {
    const DWORD frames = seconds * rate;
    std::vector<BYTE> samples(static_cast<size_t>(frames) * channels * 2);
    double phase = 0;
    for (DWORD i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        phase += 2 * 3.14159265358979 * (700 + 500 * sin(t * 0.5)) / rate;
        for (WORD c = 0; c < channels; ++c) {
            const short value = static_cast<short>(12000 * sin(phase + c * 0.7));
            memcpy(&samples[(static_cast<size_t>(i) * channels + c) * 2], &value, 2);
        }
    }
    return samples;
}

// IMA ADPCM blocks of 2048 bytes, as sox and Windows' own codec write them:
// per channel a header (the first sample and the step index), then groups of
// eight 4-bit samples, four bytes per channel in turn. Wine's codec encodes
// no 48 kHz, so the benchmark encodes for itself.
const WORD kImaBlockAlign = 2048;
const int kImaSteps[89] = {7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
                           25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
                           88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
                           307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
                           1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
                           3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
                           12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
const int kImaIndexMoves[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

struct ImaChannel {
    int predicted;
    int index;
    BYTE Encode(int sample) {
        int step = kImaSteps[index];
        int difference = sample - predicted;
        BYTE nibble = 0;
        if (difference < 0) {
            nibble = 8;
            difference = -difference;
        }
        int moved = step >> 3;
        for (BYTE bit = 4; bit > 0; bit >>= 1, step >>= 1) {
            if (difference >= step) {
                nibble |= bit;
                difference -= step;
                moved += step;
            }
        }
        predicted += (nibble & 8) ? -moved : moved;
        predicted = predicted < -32768 ? -32768 : (predicted > 32767 ? 32767 : predicted);
        index += kImaIndexMoves[nibble];
        index = index < 0 ? 0 : (index > 88 ? 88 : index);
        return nibble;
    }
};

short SampleAt(const std::vector<BYTE> &samples, size_t frame, WORD channel, WORD channels) {
    const size_t at = (frame * channels + channel) * 2;
    if (at + 1 >= samples.size()) return 0;  // the last block is padded with silence
    short value;
    memcpy(&value, &samples[at], 2);
    return value;
}

void EncodeIma(const WAVEFORMATEX &pcm, const std::vector<BYTE> &samples, IMAADPCMWAVEFORMAT *format,
               std::vector<BYTE> *encoded) {
    const WORD channels = pcm.nChannels;
    const WORD framesPerBlock = static_cast<WORD>((kImaBlockAlign - 4 * channels) * 2 / channels + 1);
    *format = IMAADPCMWAVEFORMAT();
    format->wfx.wFormatTag = WAVE_FORMAT_IMA_ADPCM;
    format->wfx.nChannels = channels;
    format->wfx.nSamplesPerSec = pcm.nSamplesPerSec;
    format->wfx.nBlockAlign = kImaBlockAlign;
    format->wfx.nAvgBytesPerSec = pcm.nSamplesPerSec * kImaBlockAlign / framesPerBlock;
    format->wfx.wBitsPerSample = 4;
    format->wfx.cbSize = 2;
    format->wSamplesPerBlock = framesPerBlock;

    const size_t frames = samples.size() / pcm.nBlockAlign;
    std::vector<ImaChannel> state(channels, ImaChannel{0, 0});
    for (size_t first = 0; first < frames; first += framesPerBlock) {
        for (WORD c = 0; c < channels; ++c) {
            state[c].predicted = SampleAt(samples, first, c, channels);
            Put16(encoded, static_cast<WORD>(state[c].predicted));
            encoded->push_back(static_cast<BYTE>(state[c].index));
            encoded->push_back(0);
        }
        for (size_t group = first + 1; group < first + framesPerBlock; group += 8) {
            for (WORD c = 0; c < channels; ++c) {
                for (size_t pair = 0; pair < 8; pair += 2) {
                    const BYTE low = state[c].Encode(SampleAt(samples, group + pair, c, channels));
                    const BYTE high = state[c].Encode(SampleAt(samples, group + pair + 1, c, channels));
                    encoded->push_back(static_cast<BYTE>(low | (high << 4)));
                }
            }
        }
    }
}

}  // namespace

bool WriteToneFiles(const char *pcmPath, const char *adpcmPath, DWORD seconds, DWORD rate, WORD channels) {
    WAVEFORMATEX pcm = {};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = channels;
    pcm.nSamplesPerSec = rate;
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = static_cast<WORD>(channels * 2);
    pcm.nAvgBytesPerSec = rate * pcm.nBlockAlign;
    const std::vector<BYTE> samples = Tone(seconds, rate, channels);
    if (!WriteWave(pcmPath, &pcm, samples)) return false;

    IMAADPCMWAVEFORMAT format;
    std::vector<BYTE> encoded;
    EncodeIma(pcm, samples, &format, &encoded);
    return WriteWave(adpcmPath, &format.wfx, encoded);
}
