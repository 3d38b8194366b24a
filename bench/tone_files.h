// The ten-minute sound the player_load benchmark hands over: a tone as 16-bit
// PCM, and the same sound as IMA ADPCM.
#ifndef DROVANA_BENCH_TONE_FILES_H
#define DROVANA_BENCH_TONE_FILES_H

#include <windows.h>

// Writes both files at this rate and channel count; false when either could
// not be written.
bool WriteToneFiles(const char *pcmPath, const char *adpcmPath, DWORD seconds, DWORD rate, WORD channels);

#endif
