// The add-on's map worker asking the real DrovanaMap.exe, started from a
// simulator folder of the test's own, about the stand-in's default airport
// (built from sim/scenery/default_airport.txt beside this program). The
// program runs in a Wine prefix of its own: it writes that prefix's boxed
// Scenery.CFG, which the stand-in's runs write too.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "core/state.h"
#include "map/map_program.h"
#include "map/map_question.h"
#include "../../sim/common/process_memory.h"
#include "temp_files.h"

namespace {

const double kGateLatitude = 47.4433, kGateLongitude = -122.3025;  // gate A1 of the default airport
const double kMetresPerDegree = 1852.0 * 60.0;

// A position given in metres east and north of the gate.
void Offset(double east, double north, double *latitude, double *longitude) {
    *latitude = kGateLatitude + north / kMetresPerDegree;
    *longitude = kGateLongitude + east / (kMetresPerDegree * cos(kGateLatitude * 3.14159265358979 / 180.0));
}

std::string ProgramFolder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    char *slash = strrchr(path, '\\');
    if (slash != nullptr) slash[1] = '\0';
    return path;
}

template <typename Condition>
bool WaitFor(Condition condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
}

DWORD MapProgramId() {
    HWND window = FindWindowExA(nullptr, nullptr, MAP_WINDOW_CLASS, MAP_WINDOW_TITLE);
    DWORD id = 0;
    if (window != nullptr) GetWindowThreadProcessId(window, &id);
    return id;
}

// Every thread of the process, as a debugger would stop it.
void SuspendProcess(DWORD processId) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId) continue;
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (thread == nullptr) continue;
        SuspendThread(thread);
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
}

bool ProcessEnds(DWORD processId, DWORD timeoutMs) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) return true;
    const bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

MapAnswer answer;  // 57 KB: not on a test thread's stack

// Asks once and waits for that question's answer.
uint32_t AskAndWait(double latitude, double longitude, DWORD timeoutMs = 15000) {
    const uint32_t id = AskMap(latitude, longitude);
    EXPECT_NE(0u, id);
    EXPECT_TRUE(WaitFor([id] { return TakeMapAnswer(id, &answer); }, timeoutMs)) << "no answer to question " << id;
    return answer.header.status;
}

// Asks until the map program has read its library (it answers "not read yet"
// until then).
uint32_t AskWhenRead(double latitude, double longitude) {
    uint32_t status = MAP_NOT_READ_YET;
    WaitFor([&] { return (status = AskAndWait(latitude, longitude)) != MAP_NOT_READ_YET; }, 60000);
    return status;
}

// A simulator folder holding DrovanaMap.exe, with the default airport as the
// one area of the prefix's boxed Scenery.CFG.
class MapLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        MapLinkTiming = kMapLinkTimings;
        ResetAddonState();
        const std::string area = sim_.File("Airport");
        CreateDirectoryA(area.c_str(), nullptr);
        CreateDirectoryA((area + "\\scenery").c_str(), nullptr);
        ASSERT_TRUE(CopyFileA((ProgramFolder() + "map\\default_airport.bgl").c_str(),
                              (area + "\\scenery\\default_airport.bgl").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA((ProgramFolder() + "..\\" MAP_PROGRAM_NAME).c_str(), sim_.File(MAP_PROGRAM_NAME).c_str(),
                              FALSE))
            << "build the DrovanaMap target";
        WriteSceneryCfg("[General]\r\nTitle=FS Scenery\r\n\r\n[Area.001]\r\nTitle=Default airport\r\nLocal=" + area +
                        "\r\nLayer=1\r\nActive=TRUE\r\n");
        lstrcpynA(PushbackState.setupPath, sim_.Path().c_str(), sizeof PushbackState.setupPath);
    }
    void TearDown() override {
        const DWORD program = MapProgramId();
        EndMapLink();
        if (program != 0) {
            EXPECT_TRUE(ProcessEnds(program, 10000)) << "the map program outlived EndMapLink";
        }
    }
    static void WriteSceneryCfg(const std::string &text) {
        char common[MAX_PATH] = "";
        SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common);
        std::string folder = std::string(common) + "\\Microsoft";
        CreateDirectoryA(folder.c_str(), nullptr);
        folder += "\\FSX";
        CreateDirectoryA(folder.c_str(), nullptr);
        HANDLE file = CreateFileA((folder + "\\Scenery.CFG").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
    TempFolder sim_;
};

TEST_F(MapLinkTest, AnswersEachKindOfPosition) {
    StartMapLink();
    ASSERT_EQ(MAP_AIRPORT, AskWhenRead(kGateLatitude, kGateLongitude));
    // Its log lies in the folder it was given: the command line carried it whole.
    EXPECT_TRUE(FileExists(sim_.File("DrovanaX\\DrovanaMap.log")));

    struct Case {
        const char *where;
        double east, north;
        uint32_t status;
        uint32_t hasParking, parkingNumber, pushbackSide;
    };
    const Case cases[] = {
        {"on gate A1", 0, 0, MAP_AIRPORT, 1, 1, MAP_PUSH_BOTH},
        {"25 m into A2's 30 m circle", 51.96 - 25, 30, MAP_AIRPORT, 1, 2, MAP_PUSH_LEFT},
        {"on the taxilane, 45 m behind A1: no stand", -22.5, 38.97, MAP_AIRPORT, 0, 0, 0},
        {"10 km north: no taxi path within 300 m", 0, 10000, MAP_NO_AIRPORT, 0, 0, 0},
    };
    for (const Case &c : cases) {
        double latitude, longitude;
        Offset(c.east, c.north, &latitude, &longitude);
        EXPECT_EQ(c.status, AskAndWait(latitude, longitude)) << c.where;
        if (c.status != MAP_AIRPORT) continue;
        EXPECT_STREQ("KSEA", answer.header.icao) << c.where;
        EXPECT_EQ(c.hasParking, answer.header.hasParking) << c.where;
        if (c.hasParking) {
            EXPECT_EQ(c.parkingNumber, answer.header.parkingNumber) << c.where;
            EXPECT_STREQ("GATE_A", answer.header.parkingName) << c.where;
            EXPECT_NEAR(150.0, answer.header.parkingHeading, 0.5) << c.where;
            EXPECT_EQ(c.pushbackSide, answer.header.pushbackSide) << c.where;
        }
        // Within 300 m: the three parking paths, the taxilane's four pieces,
        // the connectors and taxiway A; runway 16R lies over a kilometre off.
        EXPECT_EQ(10u, answer.header.pathCount) << c.where;
        for (uint32_t i = 0; i < answer.header.pathCount; ++i)
            EXPECT_NE(static_cast<uint32_t>(MAP_PATH_RUNWAY), answer.paths[i].type) << c.where;
    }
}

// The add-on lives in the simulator's 32-bit process: with the map in use it
// adds under 4 MB of private memory and of address space (its worker's stack
// reservation counted), measured as the stand-in's resources record measures.
TEST_F(MapLinkTest, AddsUnderFourMegabytesAcrossTenQuestions) {
    const uint64_t kBound = 4u << 20;
    const ProcessMemory before = MemoryOfThisProcess();
    StartMapLink();
    ASSERT_EQ(MAP_AIRPORT, AskWhenRead(kGateLatitude, kGateLongitude));
    for (int i = 0; i < 10; ++i) {
        double latitude, longitude;
        Offset(-10.0 * i, 4.0 * i, &latitude, &longitude);  // along the way to the taxilane
        ASSERT_EQ(MAP_AIRPORT, AskAndWait(latitude, longitude)) << "question " << i;
        EXPECT_GT(answer.header.pathCount, 0u) << "question " << i;
    }
    const ProcessMemory after = MemoryOfThisProcess();
    const long long grewPrivate = static_cast<long long>(after.privateBytes - before.privateBytes);
    const long long grewVirtual = static_cast<long long>(after.virtualBytes - before.virtualBytes);
    EXPECT_LT(grewPrivate, static_cast<long long>(kBound)) << "private bytes grew by " << grewPrivate;
    EXPECT_LT(grewVirtual, static_cast<long long>(kBound)) << "address space grew by " << grewVirtual;
    printf("map link: private bytes %+lld, address space %+lld across ten questions\n", grewPrivate, grewVirtual);
}

// A map program that stops answering, or is killed while it is asked, gives
// "not read yet"; the next question starts a new program, which answers.
TEST_F(MapLinkTest, ProgramKilledOrHungIsReplaced) {
    MapLinkTiming.answerMs = 1500;
    StartMapLink();
    ASSERT_EQ(MAP_AIRPORT, AskWhenRead(kGateLatitude, kGateLongitude));

    for (const bool kill : {true, false}) {
        const char *how = kill ? "killed mid-question" : "hung";
        const DWORD old = MapProgramId();
        ASSERT_NE(0u, old) << how;
        SuspendProcess(old);
        const uint32_t id = AskMap(kGateLatitude, kGateLongitude);
        if (kill) {
            Sleep(300);  // the question is sent and waits for the stopped program
            HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, old);
            TerminateProcess(process, 9);
            CloseHandle(process);
        }
        ASSERT_TRUE(WaitFor([id] { return TakeMapAnswer(id, &answer); }, 10000)) << how;
        EXPECT_EQ(MAP_NOT_READ_YET, answer.header.status) << how;
        EXPECT_TRUE(ProcessEnds(old, 5000)) << how << ": a stuck map program is left running";

        EXPECT_EQ(MAP_AIRPORT, AskWhenRead(kGateLatitude, kGateLongitude)) << how;
        EXPECT_EQ(1u, answer.header.hasParking) << how;
        EXPECT_NE(old, MapProgramId()) << how;
    }
}

// The worker takes only a well-formed answer to the question it has in
// flight: anything else another process sends its window changes nothing.
TEST_F(MapLinkTest, RefusesMalformedAnswers) {
    MapLinkTiming.answerMs = 3000;
    StartMapLink();
    ASSERT_EQ(MAP_AIRPORT, AskWhenRead(kGateLatitude, kGateLongitude));
    SuspendProcess(MapProgramId());
    const uint32_t id = AskMap(kGateLatitude, kGateLongitude);
    HWND worker = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (worker = FindWindowExA(HWND_MESSAGE, nullptr, "DrovanaMapAsk", nullptr)) != nullptr; },
                        5000));
    Sleep(300);  // sent, and waiting for its answer

    static char forged[sizeof(MapAnswerHeader) + 2 * sizeof(MapPath)];
    MapAnswerHeader *header = reinterpret_cast<MapAnswerHeader *>(forged);
    struct Case {
        const char *what;
        uint32_t tag, cbData, size, questionId, status, pathCount, standCount;
    };
    const uint32_t one = sizeof(MapAnswerHeader) + sizeof(MapPath);
    const Case cases[] = {
        {"wrong tag", kMapQuestionTag, one, one, id, MAP_AIRPORT, 1, 0},
        {"shorter than a header", kMapAnswerTag, sizeof(MapAnswerHeader) - 4, one, id, MAP_AIRPORT, 1, 0},
        {"size is not what came", kMapAnswerTag, one, one + sizeof(MapPath), id, MAP_AIRPORT, 1, 0},
        {"more paths than came", kMapAnswerTag, one, one, id, MAP_AIRPORT, 2, 0},
        // 1 + 2^29 paths of 56 bytes wrap a 32-bit size around to one path.
        {"path count that wraps the size", kMapAnswerTag, one, one, id, MAP_AIRPORT, (1u << 29) + 1, 0},
        // A path's 56 bytes read as two stands of 24 and 8 bytes over.
        {"stands where a path came", kMapAnswerTag, one, one, id, MAP_AIRPORT, 0, 2},
        // 2^32 / 24 rounded up: the stands' bytes wrap around to 8.
        {"stand count that wraps the size", kMapAnswerTag, one, one, id, MAP_AIRPORT, 1, 178956971},
        {"another question", kMapAnswerTag, one, one, id + 7, MAP_AIRPORT, 1, 0},
        {"unknown status", kMapAnswerTag, one, one, id, 3, 1, 0},
    };
    for (const Case &c : cases) {
        memset(forged, 'x', sizeof forged);  // no NUL anywhere
        header->size = c.size;
        header->questionId = c.questionId;
        header->status = c.status;
        header->pathCount = c.pathCount;
        header->standCount = c.standCount;
        COPYDATASTRUCT data = {c.tag, c.cbData, forged};
        EXPECT_EQ(FALSE, SendMessageA(worker, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data))) << c.what;
        EXPECT_FALSE(TakeMapAnswer(id, &answer)) << c.what;
    }

    // Well formed, with texts that lack their NUL: taken, and cut to fit.
    memset(forged, 'x', sizeof forged);
    header->size = one;
    header->questionId = id;
    header->status = MAP_AIRPORT;
    header->pathCount = 1;
    header->standCount = 0;
    COPYDATASTRUCT data = {kMapAnswerTag, one, forged};
    EXPECT_EQ(TRUE, SendMessageA(worker, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)));
    ASSERT_TRUE(TakeMapAnswer(id, &answer));
    EXPECT_EQ(sizeof answer.header.icao - 1, strlen(answer.header.icao));
    EXPECT_EQ(sizeof answer.header.file - 1, strlen(answer.header.file));
    EXPECT_EQ(sizeof answer.paths[0].name - 1, strlen(answer.paths[0].name));
}

// Without a map program to ask, every question is answered "not read yet"
// rather than never.
TEST_F(MapLinkTest, NoProgramAnswersNotReadYet) {
    EXPECT_EQ(MAP_NOT_READ_YET, AskAndWait(kGateLatitude, kGateLongitude, 5000)) << "link never started";
    DeleteFileA(sim_.File(MAP_PROGRAM_NAME).c_str());
    StartMapLink();
    EXPECT_EQ(MAP_NOT_READ_YET, AskAndWait(kGateLatitude, kGateLongitude, 5000)) << "no DrovanaMap.exe in the folder";
}

// The line the map program reads: both paths quoted for blanks, the folder
// as given, and the process it ends with; a folder too long for the buffer
// starts nothing rather than a program of a cut name.
TEST(MapCommandLine, QuotedWholeOrNotAtAll) {
    struct Case {
        const char *folder;
        size_t size;
        const char *line;  // null: does not fit
    };
    const Case cases[] = {
        {"C:\\FSX\\", 256, "\"C:\\FSX\\DrovanaMap.exe\" --parent 4242 \"C:\\FSX\\\""},
        {"C:\\Program Files\\FSX\\", 256,
         "\"C:\\Program Files\\FSX\\DrovanaMap.exe\" --parent 4242 \"C:\\Program Files\\FSX\\\""},
        {"C:\\FSX\\", 48, "\"C:\\FSX\\DrovanaMap.exe\" --parent 4242 \"C:\\FSX\\\""},  // 47 characters and the NUL
        {"C:\\FSX\\", 47, nullptr},
    };
    for (const Case &c : cases) {
        char line[256];
        EXPECT_EQ(c.line != nullptr, FormMapCommandLine(c.folder, 4242, line, c.size)) << c.folder << " in " << c.size;
        EXPECT_STREQ(c.line != nullptr ? c.line : "", line) << c.folder << " in " << c.size;
    }
}

}  // namespace
