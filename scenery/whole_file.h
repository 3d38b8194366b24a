// Whole files of the map program: Scenery.CFG and the index read in one go,
// the index and the pilot's reports written in one go.
#ifndef DROVANA_SCENERY_WHOLE_FILE_H
#define DROVANA_SCENERY_WHOLE_FILE_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

// The whole of a file, up to maxBytes; false when it cannot be read or is
// larger.
bool ReadWholeFile(const char *path, size_t maxBytes, std::vector<uint8_t> *bytes);

// Replaces the file with data; false unless every byte was written.
bool WriteWholeFile(const char *path, const void *data, size_t size);

#endif
