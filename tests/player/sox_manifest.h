// The sox-written files that tests/player/sox_files.py leaves in a folder,
// and the paths the scripts hand over in the environment.
#ifndef DROVANA_TESTS_PLAYER_SOX_MANIFEST_H
#define DROVANA_TESTS_PLAYER_SOX_MANIFEST_H

#include <string>
#include <vector>

struct SoxFile {
    std::string path;  // Windows form
    std::string name;
    std::string expect;  // "open", "fail" or "short"
    unsigned tag, channels, rate, bits, cbSize, dataSize;
    std::string rawPath;  // sox's raw dump of the samples, or empty
    bool plays;
};

// The Windows form of the Unix path in this environment variable, or empty.
std::string WindowsPathFromEnvironment(const char *variable);
// The files listed in <folder>\manifest.txt; empty when there is none.
std::vector<SoxFile> ReadSoxManifest(const std::string &folder);
const SoxFile *FindSoxFile(const std::vector<SoxFile> &files, const char *name);
// The whole file, or empty.
std::string ReadWholeFile(const std::string &path);

#endif
