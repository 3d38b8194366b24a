// DrovanaMap: the program that reads the simulator's scenery library beside
// Kestrola, so that a fault in one of thousands of third-party files never
// takes the simulator down and no frame waits for a disk.
//   DrovanaMap.exe --parent PID "<folder>"   the hidden map the add-on asks,
//                                        ending with the process PID (the simulator)
//   DrovanaMap.exe "<folder>"            the same map, ended only by WM_CLOSE
//   DrovanaMap.exe "<folder>" ICAO       what it reads of one airport, for a pilot's report
//   DrovanaMap.exe --file FILE.bgl [ICAO] [--svg FOLDER]   the same from one file
//   DrovanaMap.exe --plans FILE.bgl [ICAO] [--radius R] [--correction C] --out FOLDER   every stand's plans
#include <windows.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "library_reader.h"
#include "map_log.h"
#include "map_report.h"
#include "map_server.h"
#include "stand_plans.h"
#include "whole_file.h"

namespace {

// The add-on starts us as "<folder>DrovanaMap.exe" "<folder>" with the
// folder's trailing backslash, which the C runtime's rules would read as an
// escaped quote; here quotes only group and backslashes stay as written.
std::vector<std::string> Arguments() {
    std::vector<std::string> words;
    const char *line = GetCommandLineA();
    while (*line != '\0') {
        while (*line == ' ' || *line == '\t') ++line;
        if (*line == '\0') break;
        std::string word;
        bool quoted = false;
        for (; *line != '\0' && (quoted || (*line != ' ' && *line != '\t')); ++line) {
            if (*line == '"')
                quoted = !quoted;
            else
                word += *line;
        }
        words.push_back(word);
    }
    if (!words.empty()) words.erase(words.begin());  // the program itself
    return words;
}

// To the console the program was started from, when there is one.
void Print(const std::string &text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    bool opened = false;
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
        out = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (out == INVALID_HANDLE_VALUE) return;
        opened = true;
    }
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    if (opened) CloseHandle(out);
}

bool WriteText(const char *path, const std::string &text) { return WriteWholeFile(path, text.data(), text.size()); }

std::string WithBackslash(const std::string &folder) {
    return folder.empty() || folder[folder.size() - 1] == '\\' || folder[folder.size() - 1] == '/' ? folder
                                                                                                   : folder + "\\";
}

std::string Report(const AirportMap &map, const ReportNotes &notes, const char *icao) {
    std::string text;
    for (const std::string &line : notes.Lines()) text += line + "\r\n";
    std::vector<std::string> idents;
    if (icao != nullptr)
        idents.push_back(icao);
    else
        idents = map.Idents();
    for (const std::string &ident : idents) {
        AirportMap::View view;
        if (map.Find(ident.c_str(), &view))
            text += AirportReport(view);
        else
            text += ident + ": no taxi network read\r\n";
    }
    return text;
}

int ReportOfFile(const std::vector<std::string> &args) {
    const char *file = args[1].c_str();
    std::string icaoText, svgFolder;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--svg" && i + 1 < args.size())
            svgFolder = WithBackslash(args[++i]);
        else
            icaoText = args[i];
    }
    char icao[8] = "";
    if (!icaoText.empty() && !IdentForFileName(icaoText.c_str(), icao, sizeof icao)) {
        Print("DrovanaMap: " + icaoText + " is no airport ident\r\n");
        return 2;
    }
    ReportNotes notes(icao[0] ? icao : nullptr);
    AirportMap map;
    ReadOneFile(file, &map, &notes);
    Print(Report(map, notes, icao[0] ? icao : nullptr));
    if (!svgFolder.empty()) {
        for (const std::string &ident : map.Idents()) {
            AirportMap::View view;
            if ((icao[0] && ident != icao) || !map.Find(ident.c_str(), &view)) continue;
            const std::string path = svgFolder + ident + ".svg";
            if (WriteText(path.c_str(), AirportPlanSvg(view)))
                Print("plan: " + path + "\r\n");
            else
                Print("cannot write " + path + "\r\n");
        }
    }
    AirportMap::View view;
    return icao[0] && !map.Find(icao, &view) ? 1 : 0;
}

int ReportOfLibrary(const std::string &folder, const std::string &icaoText) {
    char icao[8];
    if (!IdentForFileName(icaoText.c_str(), icao, sizeof icao)) {
        Print("DrovanaMap: " + icaoText + " is no airport ident\r\n");
        return 2;
    }
    ReportNotes notes(icao);
    AirportMap map;
    ReadSceneryLibrary(folder.c_str(), &map, &notes, nullptr);
    const std::string text = Report(map, notes, icao) + StandPlansReport(map, icao, (folder + "Drovana.cfg").c_str());
    Print(text);
    char name[32];
    snprintf(name, sizeof name, "DrovanaMap-%s.txt", icao);
    DrovanaFilePlace place;
    HANDLE file = CreateDrovanaFile(folder.c_str(), name, 0, &place);
    char said[2 * MAX_PATH + 80];
    if (place.refused[0] != '\0') {
        snprintf(said, sizeof said, "%s could not be written (error %lu)\r\n", place.refused, place.error);
        Print(said);
    }
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        const bool whole =
            WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
        CloseHandle(file);
        snprintf(said, sizeof said, "%s %s\r\n", whole ? "written to" : "could not write all of", place.path);
        Print(said);
    } else {
        Print(std::string(name) + " could not be written anywhere\r\n");
    }
    AirportMap::View view;
    return map.Find(icao, &view) ? 0 : 1;
}

struct LibraryToRead {
    std::string folder;
    MapLog *log;
    LibraryIndex *index;  // from the reading until it is written
};

AirportMap *ReadLibrary(void *context, volatile LONG *stop) {
    LibraryToRead *library = static_cast<LibraryToRead *>(context);
    AirportMap *map = new AirportMap();
    const DWORD started = GetTickCount();
    library->index = new LibraryIndex();
    ReadSceneryLibrary(library->folder.c_str(), map, library->log, stop, library->index);
    char line[160];
    snprintf(line, sizeof line, "%s: %u airports with a taxi network, %u KB, in %lu ms", *stop ? "stopped" : "read",
             static_cast<unsigned>(map->AirportCount()), static_cast<unsigned>(map->BytesHeld() >> 10),
             GetTickCount() - started);
    library->log->Line(line);
    return map;
}

void WriteIndex(void *context, volatile LONG *) {
    LibraryToRead *library = static_cast<LibraryToRead *>(context);
    WriteLibraryIndex(library->index, library->log);
    delete library->index;
    library->index = nullptr;
}

bool ProcessIdOf(const std::string &text, DWORD *id) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    char *end = nullptr;
    errno = 0;
    const unsigned long long value = strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value == 0 || value > 0xFFFFFFFFull) return false;
    *id = static_cast<DWORD>(value);
    return true;
}

// The process that started the map (the simulator, whose add-on asks it),
// opened to be waited for. False when it has ended already: its id may
// since name a newer process, which a start after ours tells. A process that
// cannot be opened for waiting leaves *process null: nothing is watched.
bool OpenStarter(DWORD id, HANDLE *process, MapLog *log) {
    *process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (*process == nullptr)
        *process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id);  // before Vista
    char line[160];
    if (*process == nullptr) {
        const DWORD error = GetLastError();
        if (error == ERROR_INVALID_PARAMETER) return false;  // no such process
        snprintf(line, sizeof line,
                 "process %lu, which started the map, cannot be watched (error %lu): "
                 "the map ends only when the add-on closes it",
                 static_cast<unsigned long>(id), error);
        log->Line(line);
        return true;
    }
    FILETIME starterStart, ownStart, unused;
    if (GetProcessTimes(*process, &starterStart, &unused, &unused, &unused) &&
        GetProcessTimes(GetCurrentProcess(), &ownStart, &unused, &unused, &unused) &&
        CompareFileTime(&starterStart, &ownStart) > 0) {
        CloseHandle(*process);
        *process = nullptr;
        return false;
    }
    return true;
}

// The window's messages until it is destroyed or the starter, when there is
// one, has ended: a simulator that crashes never closes the map, and a map
// left running would hold its log and keep DrovanaSetup from updating it.
void RunUntilClosed(HANDLE starter, DWORD starterId, MapLog *log) {
    const DWORD count = starter != nullptr ? 1 : 0;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        const DWORD woken = MsgWaitForMultipleObjects(count, &starter, FALSE, INFINITE, QS_ALLINPUT);
        if (count == 1 && woken == WAIT_OBJECT_0) {
            char line[120];
            snprintf(line, sizeof line, "process %lu, which started the map, has ended: so does the map",
                     static_cast<unsigned long>(starterId));
            log->Line(line);
            return;
        }
        if (woken == WAIT_FAILED) WaitMessage();  // never a loop that spins
    }
}

// starterId 0: no process to end with.
int ServeMap(HINSTANCE instance, const std::string &folder, DWORD starterId) {
    MapLog log(folder.c_str());
    HANDLE starter = nullptr;
    if (starterId != 0 && !OpenStarter(starterId, &starter, &log)) {
        char line[120];
        snprintf(line, sizeof line, "process %lu, which started the map, has ended already: nothing to answer",
                 static_cast<unsigned long>(starterId));
        log.Line(line);
        return 0;
    }
    LibraryToRead library = {folder, &log, nullptr};
    MapServer server;
    if (!server.CreateMapWindow(instance)) {
        log.Line("the map window could not be made");
        if (starter != nullptr) CloseHandle(starter);
        return 1;
    }
    if (!server.StartReading(ReadLibrary, &library, WriteIndex)) log.Line("the reading thread could not start");
    RunUntilClosed(starter, starterId, &log);
    if (starter != nullptr) CloseHandle(starter);
    // A file being read is finished first; a thread stuck on a disk is left
    // to the end of the process.
    if (!server.StopReading(3000)) ExitProcess(0);  // before the thread's log and library go
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const std::vector<std::string> args = Arguments();
    if (args.size() >= 2 && args[0] == "--file") return ReportOfFile(args);
    if (args.size() >= 2 && args[0] == "--plans") return PlansOfFile(args, Print);
    DWORD starter = 0;
    if (args.size() == 3 && args[0] == "--parent" && ProcessIdOf(args[1], &starter))
        return ServeMap(instance, WithBackslash(args[2]), starter);
    if (args.size() == 1) return ServeMap(instance, WithBackslash(args[0]), 0);
    if (args.size() == 2 && args[0] != "--parent") return ReportOfLibrary(WithBackslash(args[0]), args[1]);
    Print(
        "use: DrovanaMap.exe \"<simulator folder>\" [ICAO]\r\n"
        "     DrovanaMap.exe --parent PID \"<simulator folder>\"\r\n"
        "     DrovanaMap.exe --file FILE.bgl [ICAO] [--svg FOLDER]\r\n"
        "     DrovanaMap.exe --plans FILE.bgl [ICAO] [--radius R] [--correction C] --out FOLDER\r\n");
    return 2;
}
