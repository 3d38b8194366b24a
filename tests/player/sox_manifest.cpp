#include "sox_manifest.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "temp_files.h"

std::string WindowsPathFromEnvironment(const char *variable) {
    const char *value = getenv(variable);
    if (value == nullptr || value[0] == '\0') return std::string();
    if (value[0] != '/') return value;  // already a Windows path
    std::string path = std::string("Z:") + value;
    for (char &c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string ReadWholeFile(const std::string &path) {
    std::string bytes;
    ReadFileBytes(path, &bytes);
    return bytes;
}

std::vector<SoxFile> ReadSoxManifest(const std::string &folder) {
    std::vector<SoxFile> files;
    std::string text = ReadWholeFile(folder + "\\manifest.txt");
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        std::vector<std::string> fields;
        size_t from = 0;
        for (;;) {
            size_t bar = line.find('|', from);
            fields.push_back(line.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
            if (bar == std::string::npos) break;
            from = bar + 1;
        }
        if (fields.size() != 10) continue;
        SoxFile file;
        file.name = fields[0];
        file.path = folder + "\\" + fields[0];
        file.expect = fields[1];
        file.tag = static_cast<unsigned>(strtoul(fields[2].c_str(), nullptr, 10));
        file.channels = static_cast<unsigned>(strtoul(fields[3].c_str(), nullptr, 10));
        file.rate = static_cast<unsigned>(strtoul(fields[4].c_str(), nullptr, 10));
        file.bits = static_cast<unsigned>(strtoul(fields[5].c_str(), nullptr, 10));
        file.cbSize = static_cast<unsigned>(strtoul(fields[6].c_str(), nullptr, 10));
        file.dataSize = static_cast<unsigned>(strtoul(fields[7].c_str(), nullptr, 10));
        file.rawPath = fields[8] == "-" ? std::string() : folder + "\\" + fields[8];
        file.plays = fields[9] == "1";
        files.push_back(file);
    }
    return files;
}

const SoxFile *FindSoxFile(const std::vector<SoxFile> &files, const char *name) {
    for (const SoxFile &file : files) {
        if (file.name == name) return &file;
    }
    return nullptr;
}
