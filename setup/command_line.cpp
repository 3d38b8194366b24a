#include "command_line.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The folder of /D=: everything up to the end of the line, blanks included,
// without trailing blanks and the quotes of /D="..." or "/D=...".
bool TakeFolder(const char *start, char *folder, size_t size) {
    size_t length = strlen(start);
    while (length > 0 && IsBlank(start[length - 1])) --length;
    if (length > 0 && start[length - 1] == '"') --length;
    if (length > 0 && start[0] == '"') {
        ++start;
        --length;
    }
    if (length == 0 || length >= size) return false;
    memcpy(folder, start, length);
    folder[length] = '\0';
    return true;
}

// Each folder of the list fits a path; only the administrator's run
// (/filesonly, which comes before /D=) is handed more than one.
bool FolderListFits(const char *list, bool several) {
    const int count = 1 + static_cast<int>(std::count(list, list + strlen(list), '|'));
    if (count > (several ? kMaxFolders : 1)) return false;
    char folder[MAX_PATH - 1];
    for (int i = 0; i < count; ++i) {
        if (!FolderOfList(list, i, folder, sizeof(folder))) return false;
    }
    return true;
}

bool TakeProcessId(const char *digits, size_t length, DWORD *id) {
    unsigned long value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (digits[i] < '0' || digits[i] > '9' || value > 0xFFFFFFFUL) return false;
        value = value * 10 + static_cast<unsigned long>(digits[i] - '0');
    }
    *id = static_cast<DWORD>(value);
    return value != 0;
}

}  // namespace

bool ParseCommandLine(const char *arguments, SetupOptions *options, char *error, size_t errorSize) {
    memset(options, 0, sizeof(*options));
    error[0] = '\0';
    // A script's /S holds even when another switch is wrong: no box may wait
    // for a click that never comes. So the whole line is read, and the first
    // fault reported at the end.
    const char *p = arguments ? arguments : "";
    while (*p) {
        while (IsBlank(*p)) ++p;
        if (!*p) break;
        // A switch may be quoted as a whole: "/D=C:\Program Files\FSX".
        const bool quoted = *p == '"';
        const char *word = quoted ? p + 1 : p;
        if (_strnicmp(word, "/D=", 3) == 0) {
            if (!TakeFolder(word + 3, options->simFolder, sizeof(options->simFolder)) ||
                !FolderListFits(options->simFolder, options->filesOnly)) {
                options->simFolder[0] = '\0';
                if (error[0] == '\0')
                    snprintf(error, errorSize, "/D= needs a folder name of at most %d characters.", MAX_PATH - 2);
            }
            break;
        }
        const char *end = word;
        while (*end && (quoted ? *end != '"' : !IsBlank(*end))) ++end;
        const size_t length = static_cast<size_t>(end - word);
        p = (quoted && *end == '"') ? end + 1 : end;
        if (length == 2 && _strnicmp(word, "/S", 2) == 0) {
            options->silent = true;
        } else if (length == 10 && _strnicmp(word, "/uninstall", 10) == 0) {
            options->uninstall = true;
        } else if (length == 6 && _strnicmp(word, "/purge", 6) == 0) {
            options->purge = true;
        } else if (length == 10 && _strnicmp(word, "/filesonly", 10) == 0) {
            options->filesOnly = true;
        } else if (length > 6 && _strnicmp(word, "/LANG=", 6) == 0 && length - 6 < sizeof(options->language)) {
            memcpy(options->language, word + 6, length - 6);
            options->language[length - 6] = '\0';
        } else if (length >= 6 && _strnicmp(word, "/LANG=", 6) == 0) {
            if (error[0] == '\0') snprintf(error, errorSize, "/LANG= needs a language code, such as /LANG=de.");
        } else if (length > 5 && _strnicmp(word, "/SIM=", 5) == 0 && length - 5 < sizeof(options->simulator)) {
            memcpy(options->simulator, word + 5, length - 5);
            options->simulator[length - 5] = '\0';
        } else if (length >= 5 && _strnicmp(word, "/SIM=", 5) == 0) {
            if (error[0] == '\0') snprintf(error, errorSize, "/SIM= needs a simulator, such as /SIM=P3Dv2.");
        } else if (length > 7 && _strnicmp(word, "/pilot=", 7) == 0 && length - 7 < sizeof(options->pilotSid) &&
                   strspn(word + 7, "Ss0123456789-") >= length - 7) {
            memcpy(options->pilotSid, word + 7, length - 7);
            options->pilotSid[length - 7] = '\0';
        } else if (length > 7 && _strnicmp(word, "/after=", 7) == 0) {
            if (!TakeProcessId(word + 7, length - 7, &options->afterProcess) && error[0] == '\0')
                snprintf(error, errorSize, "/after= needs a process id.");
        } else if (error[0] == '\0') {
            snprintf(error, errorSize, "Unknown switch \"%.*s\".", static_cast<int>(length < 64 ? length : 64), word);
        }
    }
    if (options->purge && !options->uninstall && error[0] == '\0')
        snprintf(error, errorSize, "/purge goes with /uninstall.");
    return error[0] == '\0';
}

bool FolderOfList(const char *list, int index, char *folder, size_t size) {
    const char *start = list;
    for (int i = 0; i < index; ++i) {
        start = strchr(start, '|');
        if (start == nullptr) return false;
        ++start;
    }
    const char *bar = strchr(start, '|');
    const size_t length = bar ? static_cast<size_t>(bar - start) : strlen(start);
    if (length == 0 || length >= size) return false;
    memcpy(folder, start, length);
    folder[length] = '\0';
    return true;
}

bool FormFilesOnlyArguments(const SetupOptions &options, const char *folders, char *arguments, size_t size) {
    // The kept copy that started this job still runs: its /after= tells the
    // administrator's run to leave that file alone.
    char after[32] = "";
    if (options.afterProcess != 0) snprintf(after, sizeof(after), " /after=%lu", options.afterProcess);
    const int written = snprintf(arguments, size, "/S /filesonly%s%s%s%s%s%s%s /D=%s",
                                 options.uninstall ? " /uninstall" : "", options.purge ? " /purge" : "",
                                 options.language[0] ? " /LANG=" : "", options.language, after,
                                 options.pilotSid[0] ? " /pilot=" : "", options.pilotSid, folders);
    return written > 0 && static_cast<size_t>(written) < size;
}
