// Reading the pilot's dll.xml and putting a new one in its place in one step:
// the new text goes to a temporary file beside it, passes the XML parser
// again, the old file is copied to a backup, and the temporary file replaces
// it (MoveFileEx with replace and write-through). Whatever fails on the way,
// dll.xml is as it was.
#ifndef DROVANA_SETUP_DLL_XML_FILE_H
#define DROVANA_SETUP_DLL_XML_FILE_H

#include <windows.h>

#include <string>

#include "xml_check.h"

// dll.xml.DrovanaX.bak beside the file.
bool BackupPathFor(const char *path, char *backup, size_t size);

struct DllXmlWrite {
    bool backedUp;     // the old file was copied to the backup first
    DWORD error;       // of the step that failed
    bool failedCheck;  // the new text did not pass the parser: problem says why
    XmlProblem problem;
};

// Puts bytes in place of path (creating its folder when needed). The backup
// is made only when a file was there.
bool ReplaceDllXml(const char *path, const std::string &bytes, DllXmlWrite *outcome);

// Copies the file to its backup, then deletes it.
bool DeleteDllXml(const char *path, DllXmlWrite *outcome);

#endif
