// Whole files, read and written in one call, and what a path names: the one
// place DrovanaSetup touches file contents outside its moves.
#ifndef DROVANA_SETUP_FILES_H
#define DROVANA_SETUP_FILES_H

#include <windows.h>

#include <string>

enum FileRead { FILE_ABSENT, FILE_READ, FILE_UNREADABLE };

// The whole file as bytes; error holds GetLastError when unreadable. A file
// longer than limit (when not 0) is unreadable: ERROR_FILE_TOO_LARGE.
FileRead ReadWholeFile(const char *path, std::string *bytes, DWORD *error, DWORD limit = 0);

// Creates or replaces the file with the bytes, flushed to disk.
bool WriteWholeFile(const char *path, const std::string &bytes, DWORD *error);

// A file, not a folder.
bool IsFile(const char *path);
bool IsReadOnly(const char *path);

#endif
