// The map window over real WM_COPYDATA: each status, questions it refuses,
// and the program itself started the way the add-on starts it.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "library_reader.h"
#include "map_server.h"
#include "scenery_files.h"
#include "temp_files.h"

namespace {

// The asking side: a message-only window that keeps every answer it gets.
struct Asker {
    HWND window = nullptr;
    std::vector<std::vector<uint8_t>> answers;

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_COPYDATA) {
            Asker *self = reinterpret_cast<Asker *>(GetWindowLongPtrA(window, GWLP_USERDATA));
            const COPYDATASTRUCT *data = reinterpret_cast<const COPYDATASTRUCT *>(lParam);
            if (self != nullptr && data->dwData == kMapAnswerTag) {
                const uint8_t *bytes = static_cast<const uint8_t *>(data->lpData);
                self->answers.emplace_back(bytes, bytes + data->cbData);
            }
            return 1;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    Asker() {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "DrovanaMapTestAsker";
        RegisterClassA(&windowClass);
        window = CreateWindowA("DrovanaMapTestAsker", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Asker() { DestroyWindow(window); }

    // Sends a question; the value the map returned for it.
    LRESULT Ask(HWND map, uint32_t id, double lat, double lon, ULONG_PTR tag = kMapQuestionTag,
                DWORD size = sizeof(MapQuestion)) {
        MapQuestion question = {
            sizeof question, id, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)), 0, lat, lon};
        COPYDATASTRUCT data = {tag, size, &question};
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(map, WM_COPYDATA, reinterpret_cast<WPARAM>(window), reinterpret_cast<LPARAM>(&data),
                                 SMTO_ABORTIFHUNG, 5000, &result))
            return -1;
        return static_cast<LRESULT>(result);
    }
    // The answer to question id within waitMs, or false.
    bool Answer(uint32_t id, DWORD waitMs, MapAnswerHeader *header, std::vector<MapPath> *paths = nullptr) {
        const DWORD start = GetTickCount();
        do {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
            for (const std::vector<uint8_t> &answer : answers) {
                if (answer.size() < sizeof *header) continue;
                memcpy(header, answer.data(), sizeof *header);
                if (header->questionId != id) continue;
                EXPECT_EQ(answer.size(), header->size) << "the header's size is the message's";
                EXPECT_EQ(answer.size(),
                          sizeof *header + header->pathCount * sizeof(MapPath) + header->standCount * sizeof(MapStand));
                if (paths != nullptr) {
                    paths->resize(header->pathCount);
                    if (header->pathCount > 0 && answer.size() == header->size)
                        memcpy(paths->data(), answer.data() + sizeof *header, header->pathCount * sizeof(MapPath));
                }
                return true;
            }
            Sleep(10);
        } while (GetTickCount() - start < waitMs);
        return false;
    }
};

// The map side on a thread of its own, as it runs in the map program; its
// reading, and its work once the map answers (the index written), wait until
// the test lets them go.
struct MapThread {
    HANDLE readMay = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE afterMay = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE afterDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE windowMade = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;
    HWND window = nullptr;

    static AirportMap *Read(void *context, volatile LONG *) {
        MapThread *self = static_cast<MapThread *>(context);
        WaitForSingleObject(self->readMay, 10000);
        BglFileContents contents;
        char why[kBglWhySize];
        AirportMap *map = new AirportMap();
        struct : MapNotes {
            void Skipped(const char *, const char *, const char *) override {}
            void Library(const char *) override {}
        } quiet;
        if (ReadBglFile(TestAirportPath("sample").c_str(), &contents, why, sizeof why))
            map->AddFile("sample.bgl", 3, contents, &quiet);
        map->Compact();
        return map;
    }
    static void After(void *context, volatile LONG *) {
        MapThread *self = static_cast<MapThread *>(context);
        WaitForSingleObject(self->afterMay, 10000);
        SetEvent(self->afterDone);
    }
    static DWORD WINAPI Run(void *context) {
        MapThread *self = static_cast<MapThread *>(context);
        MapServer server;
        if (server.CreateMapWindow(GetModuleHandleA(nullptr))) {
            self->window = server.Window();
            server.StartReading(Read, self, After);
        }
        SetEvent(self->windowMade);
        MSG message;
        while (self->window != nullptr && GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
        return 0;
    }
    MapThread() {
        thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
        WaitForSingleObject(windowMade, 5000);
    }
    ~MapThread() {
        SetEvent(readMay);
        SetEvent(afterMay);
        if (window != nullptr) PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000)) << "the map window did not end on WM_CLOSE";
        CloseHandle(thread);
        CloseHandle(readMay);
        CloseHandle(afterMay);
        CloseHandle(afterDone);
        CloseHandle(windowMade);
    }
};

TEST(MapServer, AnswersEachStatusAndRefusesWhatIsNoQuestion) {
    MapThread map;
    ASSERT_NE(nullptr, map.window);
    Asker asker;
    MapAnswerHeader header;

    ASSERT_EQ(kMapQuestionAccepted, asker.Ask(map.window, 1, 47.5, -122.3));
    ASSERT_TRUE(asker.Answer(1, 3000, &header)) << "no answer while reading";
    EXPECT_EQ(static_cast<uint32_t>(MAP_NOT_READ_YET), header.status);

    struct Refused {
        const char *name;
        ULONG_PTR tag;
        DWORD size;
    };
    const Refused refused[] = {{"an answer's tag", kMapAnswerTag, sizeof(MapQuestion)},
                               {"one byte short", kMapQuestionTag, sizeof(MapQuestion) - 1},
                               {"no data", kMapQuestionTag, 0}};
    for (const Refused &r : refused) {
        EXPECT_EQ(kMapQuestionRefused, asker.Ask(map.window, 2, 47.5, -122.3, r.tag, r.size)) << r.name;
        EXPECT_FALSE(asker.Answer(2, 200, &header)) << r.name << ": answered";
    }

    SetEvent(map.readMay);
    // Asked again until the map is read, as the add-on does.
    uint32_t id = 10;
    do {
        ASSERT_EQ(kMapQuestionAccepted, asker.Ask(map.window, ++id, 47.5, -122.3));
        ASSERT_TRUE(asker.Answer(id, 3000, &header));
    } while (header.status == MAP_NOT_READ_YET && id < 200);
    std::vector<MapPath> paths;
    ASSERT_EQ(kMapQuestionAccepted, asker.Ask(map.window, 300, 47.5, -122.3));
    ASSERT_TRUE(asker.Answer(300, 3000, &header, &paths));
    EXPECT_EQ(static_cast<uint32_t>(MAP_AIRPORT), header.status);
    EXPECT_STREQ("KTST", header.icao);
    EXPECT_EQ(3, header.layer);
    EXPECT_STREQ("GATE_A", header.parkingName);
    EXPECT_EQ(12u, header.parkingNumber);
    EXPECT_EQ(static_cast<uint32_t>(MAP_PUSH_RIGHT), header.pushbackSide);
    ASSERT_EQ(6u, paths.size());
    EXPECT_EQ(static_cast<uint32_t>(MAP_PATH_PARKING), paths[0].type);

    ASSERT_EQ(kMapQuestionAccepted, asker.Ask(map.window, 301, 10.0, 10.0));
    ASSERT_TRUE(asker.Answer(301, 3000, &header));
    EXPECT_EQ(static_cast<uint32_t>(MAP_NO_AIRPORT), header.status);

    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(map.afterDone, 0))
        << "the work after publishing ran before it was let go";
    SetEvent(map.afterMay);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(map.afterDone, 3000))
        << "the work after the map answers did not run once it was published";
}

// The program as the add-on starts it: its folder with the trailing
// backslash in quotes, hidden; it answers and ends on WM_CLOSE. With an ICAO
// it writes the pilot's report instead.
TEST(MapProgram, AnswersEndsOnCloseAndWritesThePilotsReport) {
    char exe[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, exe, sizeof exe);
    std::string program(exe, length);
    program = program.substr(0, program.find_last_of('\\'));
    program = program.substr(0, program.find_last_of('\\') + 1) + "DrovanaMap.exe";
    TempFolder sim;
    for (const char *icao : {"", "KTST"}) {
        std::string line = "\"" + program + "\" \"" + sim.Path() + "\"" + (icao[0] ? std::string(" ") + icao : "");
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        PROCESS_INFORMATION process = {};
        ASSERT_TRUE(
            CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
            << program;
        if (icao[0] == '\0') {
            // Its own window, found by class and title and owned by the process.
            HWND window = nullptr;
            for (int i = 0; i < 500 && window == nullptr; ++i) {
                for (HWND w = FindWindowA(MAP_WINDOW_CLASS, MAP_WINDOW_TITLE); w != nullptr && window == nullptr;
                     w = FindWindowExA(nullptr, w, MAP_WINDOW_CLASS, MAP_WINDOW_TITLE)) {
                    DWORD owner = 0;
                    GetWindowThreadProcessId(w, &owner);
                    if (owner == process.dwProcessId) window = w;
                }
                if (window == nullptr) Sleep(20);
            }
            ASSERT_NE(nullptr, window) << "no map window within 10 s";
            EXPECT_FALSE(IsWindowVisible(window));
            Asker asker;
            MapAnswerHeader header;
            ASSERT_EQ(kMapQuestionAccepted, asker.Ask(window, 5, 47.5, -122.3));
            EXPECT_TRUE(asker.Answer(5, 5000, &header)) << "the program did not answer";
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 10000)) << "still running: " << icao;
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        if (code == STILL_ACTIVE) TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        std::string text;
        if (icao[0] == '\0') {
            ASSERT_TRUE(ReadFileBytes(sim.File("DrovanaX\\DrovanaMap.log"), &text)) << "no log";
            EXPECT_NE(std::string::npos, text.find("Scenery.CFG")) << "the log does not say which file:\n" << text;
        } else {
            EXPECT_EQ(1u, code) << "an airport not in the library";
            ASSERT_TRUE(ReadFileBytes(sim.File("DrovanaX\\DrovanaMap-KTST.txt"), &text)) << "no report";
            EXPECT_NE(std::string::npos, text.find("KTST: no taxi network read")) << text;
        }
    }
}

}  // namespace
