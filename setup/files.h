// Whole files, read and written in one call, and what a path names: the one
// place DrovanaSetup touches file contents outside its moves.
#ifndef DROVANA_SETUP_FILES_H
#define DROVANA_SETUP_FILES_H

#include <windows.h>

#include <string>
#include <vector>

enum FileRead { FILE_ABSENT, FILE_READ, FILE_UNREADABLE };

// The whole file as bytes; error holds GetLastError when unreadable. A file
// longer than limit (when not 0) is unreadable: ERROR_FILE_TOO_LARGE.
FileRead ReadWholeFile(const char *path, std::string *bytes, DWORD *error, DWORD limit = 0);

// Creates or replaces the file with the bytes, flushed to disk.
bool WriteWholeFile(const char *path, const std::string &bytes, DWORD *error);

// folder + name, read whole; false when it is not there or cannot be read.
bool ReadFileIn(const char *folder, const char *name, std::string *bytes, DWORD limit = 0);

// A file, not a folder.
bool IsFile(const char *path);
bool IsFileIn(const char *folder, const char *name);
bool IsReadOnly(const char *path);

// The names of the files (not folders) in folder that match pattern ("*.wav").
std::vector<std::string> FileNamesIn(const char *folder, const char *pattern);

// names holds name, compared as Windows compares file names.
bool HasName(const std::vector<std::string> &names, const std::string &name);

#endif
