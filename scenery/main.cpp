// DrovanaMap: the program that reads the simulator's scenery library beside
// Kestrola, so that a fault in one of thousands of third-party files never
// takes the simulator down and no frame waits for a disk.
//   DrovanaMap.exe "<folder>"            the hidden map the add-on asks
//   DrovanaMap.exe "<folder>" ICAO       what it reads of one airport, for a pilot's report
//   DrovanaMap.exe --file FILE.bgl [ICAO] [--svg FOLDER]   the same from one file
//   DrovanaMap.exe --plans FILE.bgl [ICAO] [--radius R] [--correction C] --out FOLDER   every stand's plans
#include <windows.h>

#include <stdio.h>
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

bool WriteText(const char *path, const std::string &text) {
    return WriteWholeFile(path, text.data(), text.size());
}

std::string WithBackslash(const std::string &folder) {
    return folder.empty() || folder[folder.size() - 1] == '\\' || folder[folder.size() - 1] == '/' ? folder
                                                                                                  : folder + "\\";
}

std::string Report(const AirportMap &map, const ReportNotes &notes, const char *icao) {
    std::string text;
    for (const std::string &line : notes.Lines()) text += line + "\r\n";
    std::vector<std::string> idents;
    if (icao != nullptr) idents.push_back(icao);
    else idents = map.Idents();
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
    char name[32], path[MAX_PATH];
    snprintf(name, sizeof name, "DrovanaMap-%s.txt", icao);
    if (DrovanaFile(folder.c_str(), "", path, sizeof path)) CreateDirectoryA(path, nullptr);
    if (DrovanaFile(folder.c_str(), name, path, sizeof path) && WriteText(path, text))
        Print(std::string("written to ") + path + "\r\n");
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
    snprintf(line, sizeof line, "%s: %u airports with a taxi network, %u KB, in %lu ms",
             *stop ? "stopped" : "read", static_cast<unsigned>(map->AirportCount()),
             static_cast<unsigned>(map->BytesHeld() >> 10), GetTickCount() - started);
    library->log->Line(line);
    return map;
}

void WriteIndex(void *context, volatile LONG *) {
    LibraryToRead *library = static_cast<LibraryToRead *>(context);
    WriteLibraryIndex(library->index, library->log);
    delete library->index;
    library->index = nullptr;
}

int ServeMap(HINSTANCE instance, const std::string &folder) {
    MapLog log(folder.c_str());
    LibraryToRead library = {folder, &log, nullptr};
    MapServer server;
    if (!server.CreateMapWindow(instance)) {
        log.Line("the map window could not be made");
        return 1;
    }
    if (!server.StartReading(ReadLibrary, &library, WriteIndex)) log.Line("the reading thread could not start");
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
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
    if (args.size() == 1) return ServeMap(instance, WithBackslash(args[0]));
    if (args.size() == 2) return ReportOfLibrary(WithBackslash(args[0]), args[1]);
    Print("use: DrovanaMap.exe \"<simulator folder>\" [ICAO]\r\n"
          "     DrovanaMap.exe --file FILE.bgl [ICAO] [--svg FOLDER]\r\n"
          "     DrovanaMap.exe --plans FILE.bgl [ICAO] [--radius R] [--correction C] --out FOLDER\r\n");
    return 2;
}
