// How long the add-on's sound thread waits inside SendMessageA(WM_COPYDATA)
// for the player to load a file, against the raw cost of reading the same
// file into memory (ReadFile) and copying it once (memcpy), in the same run.
// Goal: at most 1.5 times the raw cost for a 16 MB file.
// Then the longest cue the player decodes whole, ten minutes of 48 kHz stereo,
// as IMA ADPCM against the same sound as PCM: the load of a compressed file is
// its conversion too, and the add-on waits at most 30 s for a hand-over.
//   player_load.exe [PLAYER_EXE]   (default: Kestrola.exe beside bench\)
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "../player/player_launch.h"
#include "tone_files.h"

namespace {

const int kRounds = 7;
const int kLongRounds = 3;
const DWORD kLongSeconds = 600;

double Now() {
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Put16(BYTE *at, WORD value) { memcpy(at, &value, 2); }
void Put32(BYTE *at, DWORD value) { memcpy(at, &value, 4); }

// A 16-bit stereo 44.1 kHz PCM file with this many data bytes.
bool WriteWave(const char *path, DWORD dataBytes) {
    std::vector<BYTE> file(44 + dataBytes);
    BYTE *h = file.data();
    memcpy(h, "RIFF", 4);
    Put32(h + 4, 36 + dataBytes);
    memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, 1);
    Put16(h + 22, 2);
    Put32(h + 24, 44100);
    Put32(h + 28, 44100 * 4);
    Put16(h + 32, 4);
    Put16(h + 34, 16);
    memcpy(h + 36, "data", 4);
    Put32(h + 40, dataBytes);
    for (DWORD i = 0; i < dataBytes; ++i) h[44 + i] = static_cast<BYTE>((i * 13) >> 3);
    HANDLE out = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(out, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
    CloseHandle(out);
    return ok && written == file.size();
}

// Read the whole file into fresh memory, then copy it into more fresh
// memory: what any load must at least do.
double RawCost(const char *path) {
    double start = Now();
    HANDLE in = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return -1;
    DWORD size = GetFileSize(in, nullptr);
    BYTE *read = static_cast<BYTE *>(malloc(size));
    BYTE *copy = static_cast<BYTE *>(malloc(size));
    DWORD got = 0;
    ReadFile(in, read, size, &got, nullptr);
    CloseHandle(in);
    memcpy(copy, read, got);
    double elapsed = Now() - start;
    volatile BYTE sink = copy[got / 2];
    (void)sink;
    free(read);
    free(copy);
    return elapsed;
}

double LoadCost(HWND player, const char *path, bool *played) {
    COPYDATASTRUCT data = {0, static_cast<DWORD>(strlen(path) + 1), const_cast<char *>(path)};
    double start = Now();
    SendMessageA(player, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    double elapsed = Now() - start;
    *played = SendMessageA(player, kPlayerStatusQuery, 0, 0) == kPlayerPlaying;
    return elapsed;
}

// The ten-minute tone as PCM and as IMA ADPCM, loaded in turns; returns false
// when the files could not be made or a load played nothing.
bool CompareCompressedLoad(HWND window, const char *folder) {
    char pcm[MAX_PATH], adpcm[MAX_PATH];
    snprintf(pcm, sizeof(pcm), "%skestrola-bench-10min-pcm.wav", folder);
    snprintf(adpcm, sizeof(adpcm), "%skestrola-bench-10min-imaadpcm.wav", folder);
    const DWORD rate = 48000;
    bool ok = WriteToneFiles(pcm, adpcm, kLongSeconds, rate, 2);
    if (!ok) {
        printf("player_load: cannot write ten minutes of %lu Hz stereo as PCM and IMA ADPCM in %s\n", rate, folder);
    } else {
        std::vector<double> pcmLoad, adpcmLoad;
        for (int round = 0; round < kLongRounds; ++round) {
            bool played = false;
            pcmLoad.push_back(LoadCost(window, pcm, &played));
            ok = ok && played;
            adpcmLoad.push_back(LoadCost(window, adpcm, &played));
            ok = ok && played;
        }
        double pcmMs = Median(pcmLoad) * 1000, adpcmMs = Median(adpcmLoad) * 1000;
        printf("player_load: ten minutes of %lu Hz stereo, WM_COPYDATA until answered, median of %d rounds\n", rate,
               kLongRounds);
        printf("  PCM %8.0f ms   IMA ADPCM %8.0f ms   ratio %.2f%s\n", pcmMs, adpcmMs, adpcmMs / pcmMs,
               ok ? "" : "   (nothing played: no audio device, or no codec?)");
    }
    DeleteFileA(pcm);
    DeleteFileA(adpcm);
    return ok;
}

// The capture file the ALSA set-up writes into grows while the player's
// DirectSound is open; it is of no use after the run.
void RemoveAlsaCapture() {
    const char *conf = getenv("ALSA_CONFIG_PATH");
    if (conf == nullptr) return;
    char windowsConf[MAX_PATH];
    snprintf(windowsConf, sizeof(windowsConf), "Z:%s", conf);
    for (char *c = windowsConf; *c; ++c) {
        if (*c == '/') *c = '\\';
    }
    FILE *in = fopen(windowsConf, "r");
    if (in == nullptr) return;
    char line[512];
    while (fgets(line, sizeof(line), in)) {
        char *file = strstr(line, "file \"/");
        if (file == nullptr) continue;
        char *end = strchr(file + 7, '"');
        if (end == nullptr) continue;
        *end = '\0';
        char capture[MAX_PATH];
        snprintf(capture, sizeof(capture), "Z:%s", file + 6);
        for (char *c = capture; *c; ++c) {
            if (*c == '/') *c = '\\';
        }
        DeleteFileA(capture);
    }
    fclose(in);
}

}  // namespace

int main(int argc, char **argv) {
    char player[MAX_PATH];
    if (argc > 1) {
        snprintf(player, sizeof(player), "%s", argv[1]);
    } else {
        GetModuleFileNameA(nullptr, player, sizeof(player));
        char *slash = strrchr(player, '\\');
        if (slash != nullptr) *slash = '\0';
        slash = strrchr(player, '\\');
        if (slash != nullptr) *slash = '\0';
        size_t used = strlen(player);
        snprintf(player + used, sizeof(player) - used, "\\Kestrola.exe");
    }

    char folder[MAX_PATH];
    GetTempPathA(sizeof(folder), folder);
    char small[MAX_PATH], large[MAX_PATH];
    snprintf(small, sizeof(small), "%skestrola-bench-1mb.wav", folder);
    snprintf(large, sizeof(large), "%skestrola-bench-16mb.wav", folder);
    if (!WriteWave(small, 1u << 20) || !WriteWave(large, 16u << 20)) {
        printf("player_load: cannot write the test files in %s\n", folder);
        return 1;
    }

    char commandLine[MAX_PATH + 2];
    snprintf(commandLine, sizeof(commandLine), "%s", player);
    PROCESS_INFORMATION process;
    if (!StartPlayerHidden(commandLine, &process)) {
        printf("player_load: cannot start %s\n", player);
        return 1;
    }
    CloseHandle(process.hThread);
    WaitForInputIdle(process.hProcess, 10000);
    HWND window = FindPlayerWindowOf(process.dwProcessId, 10000);

    int result = 0;
    if (window == nullptr) {
        printf("player_load: the player window did not appear\n");
        result = 1;
    } else {
        struct Case {
            const char *label;
            const char *path;
        } cases[] = {{"1 MB", small}, {"16 MB", large}};
        printf("player_load: WM_COPYDATA until answered vs ReadFile + memcpy, median of %d rounds\n", kRounds);
        for (const Case &c : cases) {
            std::vector<double> load, raw;
            bool allPlayed = true;
            RawCost(c.path);  // the file comes from the page cache for both
            for (int round = 0; round < kRounds; ++round) {
                bool played = false;
                load.push_back(LoadCost(window, c.path, &played));
                allPlayed = allPlayed && played;
                raw.push_back(RawCost(c.path));
            }
            double loadMs = Median(load) * 1000, rawMs = Median(raw) * 1000;
            printf("  %-5s  load %8.2f ms   raw %8.2f ms   ratio %.2f%s\n", c.label, loadMs, rawMs, loadMs / rawMs,
                   allPlayed ? "" : "   (nothing played: no audio device?)");
            if (!allPlayed) result = 1;
        }
        if (!CompareCompressedLoad(window, folder)) result = 1;
        PostMessageA(window, WM_DESTROY, 0, 0);
    }
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    DeleteFileA(small);
    DeleteFileA(large);
    RemoveAlsaCapture();
    return result;
}
