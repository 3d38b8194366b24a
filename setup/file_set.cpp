#include "file_set.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "cue_set.h"
#include "files.h"
#include "folders.h"
#include "languages.h"

namespace {

const char kAddonFolder[] = "DrovanaX\\";
const char kConfig[] = "Drovana.cfg";
// Beside the target while a step runs; neither is left behind by one that ends.
const char kStagedSuffix[] = ".DrovanaX-new";
const char kOldSuffix[] = ".DrovanaX-old";

enum FileKind { KIND_PROGRAM, KIND_CUE, KIND_CONFIG, KIND_KEPT };

struct FileMove {
    FileKind kind;
    char relative[MAX_PATH];
    char source[MAX_PATH];
    char target[MAX_PATH];
    char staged[MAX_PATH];
    char old[MAX_PATH];
    bool staging;  // staged holds a copy of source
    bool hadOld;   // target was moved to old
    bool placed;   // staged was moved to target
};

FileSetResult Fail(FileSetReport *report, FileSetResult result, const char *path, DWORD error) {
    lstrcpynA(report->failedPath, path, sizeof(report->failedPath));
    report->error = error;
    return result;
}

FileSetResult FailWith(FileSetReport *report, const char *path, DWORD error) {
    const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
    return Fail(report, held ? FILES_IN_USE : FILES_WRITE_FAILED, path, error);
}

// The package's sourceRelative to the simulator folder's relative; a move
// with no sourceRelative puts a file the run writes.
bool AddMoveAs(std::vector<FileMove> *moves, FileKind kind, const char *packageFolder, const char *sourceRelative,
               const char *simFolder, const char *relative, FileSetReport *report) {
    FileMove move = {};
    move.kind = kind;
    lstrcpynA(move.relative, relative, sizeof(move.relative));
    if ((sourceRelative != nullptr && !JoinPath(move.source, sizeof(move.source), packageFolder, sourceRelative)) ||
        !JoinPath(move.target, sizeof(move.target), simFolder, relative) ||
        !JoinPath(move.staged, sizeof(move.staged), move.target, kStagedSuffix) ||
        !JoinPath(move.old, sizeof(move.old), move.target, kOldSuffix)) {
        Fail(report, FILES_WRITE_FAILED, relative, ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    moves->push_back(move);
    return true;
}

bool AddMove(std::vector<FileMove> *moves, FileKind kind, const char *packageFolder, const char *simFolder,
             const char *relative, FileSetReport *report) {
    return AddMoveAs(moves, kind, packageFolder, relative, simFolder, relative, report);
}

// What the map program writes beside the installed files as the simulator
// runs: no list names them, yet they are ours and go with the programs.
const char *const kWrittenByPrograms[] = {"DrovanaMap.log", "DrovanaMap-*.txt", "DrovanaMap.idx",
                                          "DrovanaMap.idx.new"};

bool AddWrittenByPrograms(std::vector<FileMove> *moves, const char *packageFolder, const char *simFolder,
                          FileSetReport *report) {
    char folder[MAX_PATH];
    if (!JoinPath(folder, sizeof(folder), simFolder, kAddonFolder)) return true;
    for (const char *pattern : kWrittenByPrograms) {
        for (const std::string &name : FileNamesIn(folder, pattern)) {
            char relative[MAX_PATH];
            if (JoinPath(relative, sizeof(relative), kAddonFolder, name.c_str()) &&
                !AddMove(moves, KIND_KEPT, packageFolder, simFolder, relative, report))
                return false;
        }
    }
    return true;
}

// The set of the language code into DrovanaX\Sounds; with no code (an
// uninstall without the list), every name a set of the package uses.
bool AddCueMoves(std::vector<FileMove> *moves, const char *packageFolder, const char *simFolder, const char *code,
                 FileSetReport *report) {
    char setFolder[MAX_PATH] = "";
    if (code != nullptr && !CueSetFolder(code, setFolder, sizeof(setFolder))) {
        Fail(report, FILES_WRITE_FAILED, code, ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    for (const std::string &name : code != nullptr ? CueSetFiles(packageFolder, code) : AllCueFiles(packageFolder)) {
        char relative[MAX_PATH];
        char source[MAX_PATH];
        if (!JoinPath(relative, sizeof(relative), kSoundsFolder, name.c_str()) ||
            !JoinPath(source, sizeof(source), code != nullptr ? setFolder : kSoundsFolder, name.c_str())) {
            Fail(report, FILES_WRITE_FAILED, name.c_str(), ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        if (!AddMoveAs(moves, KIND_CUE, packageFolder, source, simFolder, relative, report)) return false;
    }
    return true;
}

// An exclusive open for writing fails on a file another process holds open
// or has mapped as a program image; renaming would not tell (Windows lets a
// loaded DLL be renamed). A read-only file is refused as Windows refuses it:
// a run allowed to open it anyway (an owner under Wine) would rename it away
// and then fail to delete it.
FileSetResult CheckNotHeld(const std::vector<FileMove> &moves, FileSetReport *report) {
    for (const FileMove &move : moves) {
        HANDLE file = CreateFileA(move.target, GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            if (IsReadOnly(move.target)) return Fail(report, FILES_WRITE_FAILED, move.target, ERROR_ACCESS_DENIED);
            continue;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return FailWith(report, move.target, error);
    }
    return FILES_DONE;
}

// Every target that is there goes aside under its old name and, when
// placing, its staged copy takes its place; the first failure stops it.
FileSetResult SwapMoves(std::vector<FileMove> *moves, bool placing, FileSetReport *report) {
    for (FileMove &move : *moves) {
        if (IsFile(move.target)) {
            if (!MoveFileExA(move.target, move.old, MOVEFILE_REPLACE_EXISTING))
                return FailWith(report, move.target, GetLastError());
            move.hadOld = true;
        }
        if (placing && !MoveFileExA(move.staged, move.target, MOVEFILE_WRITE_THROUGH))
            return FailWith(report, move.target, GetLastError());
        move.placed = placing;
    }
    return FILES_DONE;
}

void PutBack(std::vector<FileMove> *moves) {
    for (size_t i = moves->size(); i-- > 0;) {
        FileMove &move = (*moves)[i];
        if (move.hadOld)
            MoveFileExA(move.old, move.target, MOVEFILE_REPLACE_EXISTING);
        else if (move.placed)
            DeleteFileA(move.target);
        if (move.staging && !move.placed) DeleteFileA(move.staged);
    }
}

// The step has succeeded: what it kept aside goes, and the report counts
// what it did.
void FinishMoves(const std::vector<FileMove> &moves, bool removing, FileSetReport *report) {
    for (const FileMove &move : moves) {
        if (move.hadOld) DeleteFileA(move.old);
        if (move.kind == KIND_PROGRAM) ++report->programs;
        if (move.kind == KIND_CUE) ++report->cues;
        if (move.kind == KIND_CONFIG) (removing ? report->configRemoved : report->configCopied) = true;
    }
}

// Makes the folder when it is missing; created tells whether this call did.
FileSetResult MakeFolder(const char *simFolder, const char *relative, bool *created, FileSetReport *report) {
    char folder[MAX_PATH];
    *created = false;
    if (!JoinPath(folder, sizeof(folder), simFolder, relative))
        return Fail(report, FILES_WRITE_FAILED, relative, ERROR_FILENAME_EXCED_RANGE);
    if (CreateDirectoryA(folder, nullptr)) {
        *created = true;
        return FILES_DONE;
    }
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS ? FILES_DONE : FailWith(report, folder, error);
}

void RemoveFolderIfEmpty(const char *simFolder, const char *relative) {
    char folder[MAX_PATH];
    if (JoinPath(folder, sizeof(folder), simFolder, relative)) RemoveDirectoryA(folder);
}

bool FolderExists(const char *simFolder, const char *relative) {
    char folder[MAX_PATH];
    if (!JoinPath(folder, sizeof(folder), simFolder, relative)) return false;
    const DWORD attributes = GetFileAttributesA(folder);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Only DrovanaX's programs and what lies under its own folder may be listed.
bool IsOurs(const std::string &name) {
    for (int i = 0; i < kProgramCount; ++i) {
        if (lstrcmpiA(name.c_str(), kPrograms[i]) == 0) return true;
    }
    const size_t prefix = sizeof(kAddonFolder) - 1;
    return name.size() > prefix && _strnicmp(name.c_str(), kAddonFolder, prefix) == 0;
}

// A line of the list: the path relative to the simulator folder, then the
// size and hash of what was put there, tab-separated (a list of an earlier
// version has the path alone).
struct ListedFile {
    std::string name;
    std::string line;  // as read, to be carried into the next list
    bool hashed;
    unsigned long long size;
    unsigned long long hash;
};

// FNV-1a: tells a file DrovanaSetup wrote from one the pilot put in its
// place; nobody forges it, so no cryptographic hash is needed.
unsigned long long HashOf(const std::string &bytes) {
    unsigned long long hash = 14695981039346656037ull;
    for (unsigned char byte : bytes) hash = (hash ^ byte) * 1099511628211ull;
    return hash;
}

std::string ListLine(const char *relative, const std::string &bytes) {
    char fields[64];
    snprintf(fields, sizeof(fields), "\t%llu\t%016llx", static_cast<unsigned long long>(bytes.size()), HashOf(bytes));
    return std::string(relative) + fields + "\r\n";
}

// The list is a file in a folder others may write: a line that could name a
// file elsewhere (absolute, a drive, "..") or one of the simulator's own is
// skipped.
std::vector<ListedFile> ReadList(const char *simFolder, bool *found) {
    std::vector<ListedFile> entries;
    std::string text;
    *found = ReadFileIn(simFolder, kInstalledList, &text);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        ListedFile entry = {};
        entry.line = text.substr(start, end - start);
        start = end + 1;
        while (!entry.line.empty() && (entry.line.back() == '\r' || entry.line.back() == ' ')) entry.line.pop_back();
        const size_t tab = entry.line.find('\t');
        entry.name = entry.line.substr(0, tab);
        int parsed = 0;
        entry.hashed = tab != std::string::npos &&
                       sscanf(entry.line.c_str() + tab, "\t%llu\t%16llx%n", &entry.size, &entry.hash, &parsed) == 2 &&
                       entry.line.size() == tab + static_cast<size_t>(parsed);
        const std::string &name = entry.name;
        const bool safe = !name.empty() && name.size() < MAX_PATH && name[0] != '\\' && name[0] != '/' &&
                          name.find(':') == std::string::npos && name.find("..") == std::string::npos &&
                          IsOurs(name);
        if (safe) entries.push_back(entry);
    }
    return entries;
}

const ListedFile *FindListed(const std::vector<ListedFile> &entries, const char *name) {
    for (const ListedFile &entry : entries) {
        if (lstrcmpiA(entry.name.c_str(), name) == 0) return &entry;
    }
    return nullptr;
}

bool Listed(const std::vector<FileMove> &moves, const std::string &name) {
    for (const FileMove &move : moves) {
        if (lstrcmpiA(move.relative, name.c_str()) == 0) return true;
    }
    return false;
}

// A voice cue in the simulator folder that is not what DrovanaSetup put
// there is the pilot's own (a recording in their voice under a cue's name):
// the list's size and hash say what was put there; a list without them, or
// none, leaves the package's sets to say which bytes are DrovanaX's.
bool IsPilotsOwnCue(const FileMove &move, const std::vector<ListedFile> &listed, const char *packageFolder) {
    if (move.kind != KIND_CUE) return false;
    std::string bytes;
    DWORD error = 0;
    if (ReadWholeFile(move.target, &bytes, &error) != FILE_READ) return false;
    const ListedFile *entry = FindListed(listed, move.relative);
    if (entry != nullptr && entry->hashed) return entry->size != bytes.size() || entry->hash != HashOf(bytes);
    const char *name = strrchr(move.relative, '\\');
    return !IsPackageCue(packageFolder, name ? name + 1 : move.relative, bytes);
}

// Takes the pilot's own cues out of the moves, naming them in the report.
void LeavePilotsOwnCues(std::vector<FileMove> *moves, const std::vector<ListedFile> &listed,
                        const char *packageFolder, FileSetReport *report) {
    std::vector<FileMove> kept;
    for (const FileMove &move : *moves) {
        if (IsFile(move.target) && IsPilotsOwnCue(move, listed, packageFolder))
            report->pilotsOwn.push_back(move.relative);
        else
            kept.push_back(move);
    }
    moves->swap(kept);
}

// The list of this install: what it puts in place, and what an earlier
// install listed that is still there (an update never orphans a file) and is
// not the pilot's own.
bool ListText(const std::vector<FileMove> &moves, const char *simFolder, const std::string &languageLine,
              const std::vector<std::string> &pilotsOwn, std::string *text, FileSetReport *report) {
    for (const FileMove &move : moves) {
        if (move.kind == KIND_CONFIG || lstrcmpiA(move.relative, kInstalledList) == 0) continue;
        std::string bytes = languageLine;
        DWORD error = 0;
        if (move.source[0] != '\0' && ReadWholeFile(move.source, &bytes, &error) != FILE_READ) {
            Fail(report, FILES_PACKAGE_INCOMPLETE, move.source, error);
            return false;
        }
        *text += ListLine(move.relative, bytes);
    }
    bool found = false;
    for (const ListedFile &entry : ReadList(simFolder, &found)) {
        if (!Listed(moves, entry.name) && !HasName(pilotsOwn, entry.name) &&
            lstrcmpiA(entry.name.c_str(), kInstalledList) != 0 && IsFileIn(simFolder, entry.name.c_str()))
            *text += entry.line + "\r\n";
    }
    return true;
}

unsigned long long SizeOf(const char *path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

const char kAddonDll[] = "DrovanaX.dll";
const char *const kPrograms[] = {kAddonDll, "Kestrola.exe", "DrovanaMap.exe"};
const int kProgramCount = sizeof(kPrograms) / sizeof(kPrograms[0]);
const char kPackageSetup[] = "DrovanaSetup.exe";
const char kPackageDllXml[] = "dll.xml";
const char kKeptSetup[] = "DrovanaX\\DrovanaSetup.exe";
const char kKeptSkeleton[] = "DrovanaX\\dll.xml";
const char kInstalledList[] = "DrovanaX\\InstalledFiles.txt";

unsigned long long InstalledSize(const char *simFolder) {
    bool found = false;
    unsigned long long total = 0;
    for (const ListedFile &entry : ReadList(simFolder, &found)) {
        char path[MAX_PATH];
        if (JoinPath(path, sizeof(path), simFolder, entry.name.c_str())) total += SizeOf(path);
    }
    return total;
}

bool IsInstalledIn(const char *simFolder) {
    return IsFileIn(simFolder, kAddonDll) || IsFileIn(simFolder, kInstalledList);
}

bool PackageIsComplete(const char *packageFolder, FileSetReport *report) {
    std::vector<const char *> names(kPrograms, kPrograms + kProgramCount);
    names.insert(names.end(), {kConfig, kPackageDllXml, kPackageSetup});
    for (const char *name : names) {
        char path[MAX_PATH];
        if (!JoinPath(path, sizeof(path), packageFolder, name) || !IsFile(path)) {
            Fail(report, FILES_PACKAGE_INCOMPLETE, path[0] ? path : name, ERROR_FILE_NOT_FOUND);
            return false;
        }
    }
    char missing[MAX_PATH];
    if (!PackageHasCueSets(packageFolder, missing, sizeof(missing))) {
        char path[MAX_PATH];
        JoinPath(path, sizeof(path), packageFolder, missing);
        Fail(report, FILES_PACKAGE_INCOMPLETE, path, ERROR_FILE_NOT_FOUND);
        return false;
    }
    return true;
}

FileSetResult InstallFiles(const char *packageFolder, const char *simFolder, const char *language,
                           FileSetReport *report) {
    *report = FileSetReport();
    if (!PackageIsComplete(packageFolder, report)) return FILES_PACKAGE_INCOMPLETE;
    if (CueSetFiles(packageFolder, language).empty()) {
        char relative[MAX_PATH] = "";
        char path[MAX_PATH] = "";
        if (CueSetFolder(language, relative, sizeof(relative))) JoinPath(path, sizeof(path), packageFolder, relative);
        return Fail(report, FILES_PACKAGE_INCOMPLETE, path[0] ? path : language, ERROR_FILE_NOT_FOUND);
    }
    std::vector<FileMove> moves;
    for (int i = 0; i < kProgramCount; ++i) {
        if (!AddMove(&moves, KIND_PROGRAM, packageFolder, simFolder, kPrograms[i], report)) return FILES_WRITE_FAILED;
    }
    if (!AddCueMoves(&moves, packageFolder, simFolder, language, report)) return FILES_WRITE_FAILED;
    // The list and the language (which the next run offers first) are
    // written, not copied.
    if (!AddMoveAs(&moves, KIND_KEPT, packageFolder, kPackageSetup, simFolder, kKeptSetup, report) ||
        !AddMoveAs(&moves, KIND_KEPT, packageFolder, kPackageDllXml, simFolder, kKeptSkeleton, report) ||
        !AddMoveAs(&moves, KIND_KEPT, packageFolder, nullptr, simFolder, kInstalledList, report) ||
        !AddMoveAs(&moves, KIND_KEPT, packageFolder, nullptr, simFolder, kInstalledLanguageFile, report))
        return FILES_WRITE_FAILED;
    // A pilot's Drovana.cfg holds the corrections measured for each aircraft.
    if (IsFileIn(simFolder, kConfig)) {
        report->configKept = true;
    } else if (!AddMove(&moves, KIND_CONFIG, packageFolder, simFolder, kConfig, report)) {
        return FILES_WRITE_FAILED;
    }

    bool listFound = false;
    LeavePilotsOwnCues(&moves, ReadList(simFolder, &listFound), packageFolder, report);
    const std::string languageLine = std::string(language) + "\r\n";
    std::string list;
    if (!ListText(moves, simFolder, languageLine, report->pilotsOwn, &list, report)) return FILES_PACKAGE_INCOMPLETE;

    FileSetResult result = CheckNotHeld(moves, report);
    if (result != FILES_DONE) return result;

    bool madeAddonFolder = false;
    bool madeSoundsFolder = false;
    result = MakeFolder(simFolder, kAddonFolder, &madeAddonFolder, report);
    if (result == FILES_DONE) result = MakeFolder(simFolder, kSoundsFolder, &madeSoundsFolder, report);
    if (result != FILES_DONE) {
        if (madeAddonFolder) RemoveFolderIfEmpty(simFolder, kAddonFolder);
        return result;
    }

    for (FileMove &move : moves) {
        const bool written = move.source[0] == '\0';
        const bool isLanguage = lstrcmpiA(move.relative, kInstalledLanguageFile) == 0;
        DWORD error = 0;
        if (written ? !WriteWholeFile(move.staged, isLanguage ? languageLine : list, &error)
                    : !CopyFileA(move.source, move.staged, FALSE)) {
            result = FailWith(report, move.staged, written ? error : GetLastError());
            break;
        }
        move.staging = true;
        // A copy keeps the read-only attribute of a package unpacked from a
        // read-only medium: the add-on could not store its corrections in
        // Drovana.cfg, and the programs could be neither updated nor removed.
        if (IsReadOnly(move.staged) && !SetFileAttributesA(move.staged, FILE_ATTRIBUTE_NORMAL)) {
            result = FailWith(report, move.staged, GetLastError());
            break;
        }
    }
    if (result == FILES_DONE) result = SwapMoves(&moves, true, report);
    if (result != FILES_DONE) {
        PutBack(&moves);
        if (madeSoundsFolder) RemoveFolderIfEmpty(simFolder, kSoundsFolder);
        if (madeAddonFolder) RemoveFolderIfEmpty(simFolder, kAddonFolder);
        return result;
    }
    FinishMoves(moves, false, report);
    return FILES_DONE;
}

FileSetResult RemoveFiles(const char *packageFolder, const char *simFolder, bool purge, bool keptCopyRunning,
                          FileSetReport *report) {
    *report = FileSetReport();
    std::vector<FileMove> all;
    for (int i = 0; i < kProgramCount; ++i) {
        if (!AddMove(&all, KIND_PROGRAM, packageFolder, simFolder, kPrograms[i], report)) return FILES_WRITE_FAILED;
    }
    const size_t programs = all.size();
    bool listed = false;
    const std::vector<ListedFile> entries = ReadList(simFolder, &listed);
    for (const ListedFile &entry : entries) {
        const char *name = entry.name.c_str();
        if (Listed(all, entry.name) || lstrcmpiA(name, kInstalledList) == 0) continue;
        // The kept copy waits for this run's result; it goes once it has ended.
        if (keptCopyRunning && lstrcmpiA(name, kKeptSetup) == 0) continue;
        const bool cue = _strnicmp(name, kSoundsFolder, strlen(kSoundsFolder)) == 0;
        if (!AddMove(&all, cue ? KIND_CUE : KIND_KEPT, packageFolder, simFolder, name, report))
            return FILES_WRITE_FAILED;
    }
    if (listed) {
        if (!AddMove(&all, KIND_KEPT, packageFolder, simFolder, kInstalledList, report)) return FILES_WRITE_FAILED;
    } else if (!AddCueMoves(&all, packageFolder, simFolder, nullptr, report)) {
        return FILES_WRITE_FAILED;
    }
    report->cuesUnknown = !listed && all.size() == programs;
    if (!AddWrittenByPrograms(&all, packageFolder, simFolder, report)) return FILES_WRITE_FAILED;
    if (purge && !AddMove(&all, KIND_CONFIG, packageFolder, simFolder, kConfig, report)) return FILES_WRITE_FAILED;
    LeavePilotsOwnCues(&all, entries, packageFolder, report);
    std::vector<FileMove> moves;
    for (const FileMove &move : all) {
        if (IsFile(move.target)) moves.push_back(move);
    }

    FileSetResult result = CheckNotHeld(moves, report);
    if (result != FILES_DONE) return result;
    result = SwapMoves(&moves, false, report);
    if (result != FILES_DONE) {
        PutBack(&moves);
        return result;
    }
    FinishMoves(moves, true, report);
    RemoveFolderIfEmpty(simFolder, kSoundsFolder);
    RemoveFolderIfEmpty(simFolder, kAddonFolder);
    report->soundsFolderKept = FolderExists(simFolder, kSoundsFolder);
    report->configKept = IsFileIn(simFolder, kConfig);
    return FILES_DONE;
}

void RemovePilotsMapFiles() {
    char folder[MAX_PATH];
    if (!PilotDataFolder(folder, sizeof(folder))) return;
    for (const char *pattern : kWrittenByPrograms) {
        for (const std::string &name : FileNamesIn(folder, pattern)) {
            char path[MAX_PATH];
            if (JoinPath(path, sizeof(path), folder, name.c_str())) DeleteFileA(path);
        }
    }
    RemoveDirectoryA(folder);
}

void RemoveKeptSetupLeftAlone(const char *simFolder) {
    char kept[MAX_PATH];
    if (IsFileIn(simFolder, kInstalledList) || !JoinPath(kept, sizeof(kept), simFolder, kKeptSetup)) return;
    DeleteFileA(kept);
    RemoveFolderIfEmpty(simFolder, kSoundsFolder);
    RemoveFolderIfEmpty(simFolder, kAddonFolder);
}
