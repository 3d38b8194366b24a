#include "languages.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "files.h"
#include "folders.h"

const char kInstalledLanguageFile[] = "DrovanaX\\language.txt";

namespace {

const char kIndex[] = "DrovanaX\\Sounds\\languages.txt";
const char kEnglish[] = "en";
// Twelve languages take some 200 bytes; anything near this is not our list.
const DWORD kIndexLimit = 16 * 1024;

bool IsCode(const char *text, size_t length) {
    if (length == 0 || length >= sizeof(CueLanguage().code)) return false;
    for (size_t i = 0; i < length; ++i) {
        if (!isalnum(static_cast<unsigned char>(text[i])) && text[i] != '-') return false;
    }
    return true;
}

size_t LanguagePart(const char *code) { return strcspn(code, "-_"); }

// One "code<TAB>name" line into the list; other lines are passed over.
void AddLine(const char *line, size_t length, CueLanguageList *list) {
    const char *tab = static_cast<const char *>(memchr(line, '\t', length));
    if (tab == nullptr || list->count >= kMaxCueLanguages) return;
    const size_t codeLength = static_cast<size_t>(tab - line);
    const int nameLength = static_cast<int>(length - codeLength - 1);
    if (!IsCode(line, codeLength) || nameLength <= 0) return;
    CueLanguage &language = list->languages[list->count];
    memcpy(language.code, line, codeLength);
    language.code[codeLength] = '\0';
    for (int i = 0; i < list->count; ++i) {
        if (_stricmp(list->languages[i].code, language.code) == 0) return;
    }
    const int written = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, tab + 1, nameLength, language.name,
                                            sizeof(language.name) / sizeof(language.name[0]) - 1);
    if (written <= 0) return;
    language.name[written] = L'\0';
    ++list->count;
}

}  // namespace

bool ReadCueLanguages(const char *packageFolder, CueLanguageList *list) {
    memset(list, 0, sizeof(*list));
    std::string text;
    if (!ReadFileIn(packageFolder, kIndex, &text, kIndexLimit)) return false;
    const char *p = text.c_str();
    if (strncmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
    while (*p) {
        const size_t length = strcspn(p, "\r\n");
        AddLine(p, length, list);
        p += length;
        while (*p == '\r' || *p == '\n') ++p;
    }
    return list->count > 0;
}

int FindCueLanguage(const CueLanguageList &list, const char *code) {
    if (code == nullptr || code[0] == '\0') return -1;
    for (int i = 0; i < list.count; ++i) {
        if (_stricmp(list.languages[i].code, code) == 0) return i;
    }
    const size_t part = LanguagePart(code);
    if (part == 0) return -1;
    for (int i = 0; i < list.count; ++i) {
        if (LanguagePart(list.languages[i].code) == part && _strnicmp(list.languages[i].code, code, part) == 0)
            return i;
    }
    return -1;
}

bool UiLanguageCode(char *code, size_t size) {
    code[0] = '\0';
    const LCID locale = MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT);
    char language[16];
    char country[16];
    if (!GetLocaleInfoA(locale, LOCALE_SISO639LANGNAME, language, sizeof(language))) return false;
    if (!GetLocaleInfoA(locale, LOCALE_SISO3166CTRYNAME, country, sizeof(country))) country[0] = '\0';
    const int written = snprintf(code, size, country[0] ? "%s-%s" : "%s%s", language, country);
    return written > 0 && static_cast<size_t>(written) < size;
}

int PreselectCueLanguage(const CueLanguageList &list, const char *simFolder) {
    char code[32];
    int found = -1;
    if (simFolder != nullptr && ReadInstalledLanguage(simFolder, code, sizeof(code))) found = FindCueLanguage(list, code);
    if (found < 0 && UiLanguageCode(code, sizeof(code))) found = FindCueLanguage(list, code);
    if (found < 0) found = FindCueLanguage(list, kEnglish);
    return found < 0 ? 0 : found;
}

bool ChooseCueLanguage(const char *packageFolder, const char *simFolder, const char *given, char *code,
                       size_t size) {
    code[0] = '\0';
    CueLanguageList list;
    if (!ReadCueLanguages(packageFolder, &list)) return false;
    const int chosen = given != nullptr && given[0] ? FindCueLanguage(list, given) : PreselectCueLanguage(list, simFolder);
    if (chosen < 0) return false;
    lstrcpynA(code, list.languages[chosen].code, static_cast<int>(size));
    return true;
}

bool ReadInstalledLanguage(const char *simFolder, char *code, size_t size) {
    std::string text;
    code[0] = '\0';
    if (!ReadFileIn(simFolder, kInstalledLanguageFile, &text, 64)) return false;
    const size_t length = strcspn(text.c_str(), "\r\n \t");
    if (!IsCode(text.c_str(), length) || length >= size) return false;
    memcpy(code, text.c_str(), length);
    code[length] = '\0';
    return true;
}
