// The voice cues DrovanaSetup puts in the simulator folder's DrovanaX\Sounds:
// one language's set from the package (DrovanaX\Sounds\<code>\), under the
// file names every set shares, which the sample Drovana.cfg names. Another
// language's install replaces those files; files of other names in that
// folder are the pilot's and are never touched.
#ifndef DROVANA_SETUP_CUE_SET_H
#define DROVANA_SETUP_CUE_SET_H

#include <stddef.h>

#include <string>
#include <vector>

// The target folder, relative to the simulator folder (and the package's
// folder of the sets).
extern const char kSoundsFolder[];

// DrovanaX\Sounds\<code>\, relative to the package folder.
bool CueSetFolder(const char *code, char *relative, size_t size);

// The WAVE files of the package's set of that language.
std::vector<std::string> CueSetFiles(const char *packageFolder, const char *code);

// Every name a set of the package uses (and, from a package of the time
// before languages, the WAVE files directly in its DrovanaX\Sounds): the
// files an uninstall takes for DrovanaX's own.
std::vector<std::string> AllCueFiles(const char *packageFolder);

// The bytes are those of a cue of that file name in one of the package's
// sets (or directly in its DrovanaX\Sounds, from before languages).
bool IsPackageCue(const char *packageFolder, const char *name, const std::string &bytes);

// True when the package lists its languages and holds a set for each; else
// missing names the first list, folder or file it lacks (package-relative).
bool PackageHasCueSets(const char *packageFolder, char *missing, size_t size);

#endif
