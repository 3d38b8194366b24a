// The languages of the voice cue sets a package carries, and which one a run
// installs. The package lists them in DrovanaX\Sounds\languages.txt, one
// "code<TAB>name" line each (UTF-8; the name is the language's own, shown in
// the installer's list), with each set in DrovanaX\Sounds\<code>\. The code
// chosen is remembered in the simulator folder's DrovanaX\language.txt.
#ifndef DROVANA_SETUP_LANGUAGES_H
#define DROVANA_SETUP_LANGUAGES_H

#include <windows.h>

#include <stddef.h>

const int kMaxCueLanguages = 32;

struct CueLanguage {
    char code[16];     // "de", "pt-BR"
    wchar_t name[64];  // L"Deutsch"
};

struct CueLanguageList {
    CueLanguage languages[kMaxCueLanguages];
    int count;
};

// The package's list; false when it has none or lists nothing.
bool ReadCueLanguages(const char *packageFolder, CueLanguageList *list);

// The language a code names: its code in any case, else the language part
// alone ("pt" and "pt-PT" for "pt-BR", "zh-TW" for "zh"); -1 for none.
int FindCueLanguage(const CueLanguageList &list, const char *code);

// Windows' user-interface language as "language-COUNTRY" ("pt-PT"); false
// when Windows does not say.
bool UiLanguageCode(char *code, size_t size);

// What a run offers first: the language installed in simFolder, else the
// user-interface language where there is a set for it, else English.
int PreselectCueLanguage(const CueLanguageList &list, const char *simFolder);

// The package's code for the language a run installs: the one given (as
// /LANG= gives it), else the preselected one. False when the package lists
// no languages or has none the given code names.
bool ChooseCueLanguage(const char *packageFolder, const char *simFolder, const char *given, char *code, size_t size);

// The code remembered in simFolder; false when there is none.
bool ReadInstalledLanguage(const char *simFolder, char *code, size_t size);

// DrovanaX\language.txt, relative to the simulator folder; the install
// writes it with the list of installed files.
extern const char kInstalledLanguageFile[];

#endif
