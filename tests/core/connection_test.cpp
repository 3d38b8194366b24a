#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "core/connection.h"
#include "core/identifiers.h"
#include "core/state.h"
#include "dispatch/module_entry.h"
#include "fake_simconnect.h"
#include "sim_report.h"
#include "pushback/measurement.h"
#include "pushback/sequencer.h"
#include "temp_files.h"

namespace {

const char kSetupKey[] = "SOFTWARE\\Microsoft\\microsoft games\\flight simulator\\10.0";

// Sets HKLM's SetupPath for one test and puts back what was there. The
// stand-in simulator's runs use the same value, so this program never runs
// beside them (it holds the same resource lock).
class SetupPathValue {
public:
    explicit SetupPathValue(const char *subKey = kSetupKey) {
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        savedSize_ = sizeof saved_;
        hadValue_ = RegQueryValueExA(key_, "SetupPath", nullptr, &savedType_, saved_, &savedSize_) == ERROR_SUCCESS;
    }
    ~SetupPathValue() {
        if (hadValue_)
            RegSetValueExA(key_, "SetupPath", 0, savedType_, saved_, savedSize_);
        else
            RegDeleteValueA(key_, "SetupPath");
        RegCloseKey(key_);
    }
    void SetBytes(const void *bytes, DWORD size) {
        RegSetValueExA(key_, "SetupPath", 0, REG_SZ, static_cast<const BYTE *>(bytes), size);
    }
    void Set(const std::string &text) { SetBytes(text.c_str(), static_cast<DWORD>(text.size() + 1)); }
    void Remove() { RegDeleteValueA(key_, "SetupPath"); }

private:
    HKEY key_ = nullptr;
    BYTE saved_[1024];
    DWORD savedSize_ = 0;
    DWORD savedType_ = REG_SZ;
    bool hadValue_ = false;
};

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAddonState();
        fake_simconnect::Reset();
    }
    std::vector<std::string> ArgsOf(const char *function) {
        std::vector<std::string> args;
        for (const FakeCall &call : fake_simconnect::CallsOf(function)) args.push_back(call.args);
        return args;
    }
};

void DeliverHeader(DWORD id) {
    SIMCONNECT_RECV_OPEN open;
    memset(&open, 0, sizeof open);
    open.dwSize = sizeof open;
    open.dwID = id;
    fake_simconnect::Deliver(&open, sizeof open);
}

void DeliverSystemState(DWORD requestId, const char *text, DWORD integer = 0) {
    SIMCONNECT_RECV_SYSTEM_STATE reply;
    memset(&reply, 0, sizeof reply);
    reply.dwSize = sizeof reply;
    reply.dwID = SIMCONNECT_RECV_ID_SYSTEM_STATE;
    reply.dwRequestID = requestId;
    reply.dwInteger = integer;
    lstrcpynA(reply.szString, text, sizeof reply.szString);
    fake_simconnect::Deliver(&reply, sizeof reply);
}

void DeliverEvent(DWORD eventId) {
    SIMCONNECT_RECV_EVENT event;
    memset(&event, 0, sizeof event);
    event.dwSize = sizeof event;
    event.dwID = SIMCONNECT_RECV_ID_EVENT;
    event.uEventID = eventId;
    fake_simconnect::Deliver(&event, sizeof event);
}

TEST_F(ConnectionTest, FailedOpenLeavesTheAddOnInert) {
    SetupPathValue setup;
    TempFolder folder;
    setup.Set(folder.Path());
    fake_simconnect::openResult = E_FAIL;
    EXPECT_EQ(0, DLLStart());
    EXPECT_EQ(1u, fake_simconnect::Calls().size()) << "nothing but the open may be called";
    EXPECT_EQ(nullptr, fake_simconnect::dispatch) << "no dispatch callback after a failed open";
    EXPECT_STREQ("", PushbackState.configPath) << "the registry must not be read";
}

// The folder of this test program, as the simulator's is fsx.exe's.
std::string ProgramFolder() {
    char program[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    std::string folder(program, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

TEST_F(ConnectionTest, OpenAsDrovanaXAndRegisterDispatchOnce) {
    // Another simulator's folder, as the boxed edition's beside the Steam
    // Edition: the files are looked for beside the program that loaded us.
    SetupPathValue setup;
    TempFolder other;
    setup.Set(other.Path());
    EXPECT_EQ(0, DLLStart());
    EXPECT_EQ(std::vector<std::string>{"\"DrovanaX\",0,0,0,0"}, ArgsOf("SimConnect_Open"));
    EXPECT_EQ(1u, fake_simconnect::CallsOf("SimConnect_CallDispatch").size());
    EXPECT_EQ(ProgramFolder(), PushbackState.setupPath);
    EXPECT_EQ(ProgramFolder() + "Drovana.cfg", PushbackState.configPath);
    char commandLine[256];
    FormPlayerCommandLine(commandLine);
    EXPECT_EQ("\"" + ProgramFolder() + "Kestrola.exe\"", commandLine);
    DLLStop();
    EXPECT_EQ(1u, fake_simconnect::CallsOf("SimConnect_Close").size());
}

TEST_F(ConnectionTest, TheProgramsFolderComesFirstAndSetupPathOnlyWithoutIt) {
    SetupPathValue setup;
    setup.Set("C:\\FSX\\");
    // 242 + "Kestrola.exe" and its quotes is 256 characters: bare names, never
    // SetupPath's folder.
    const std::string tooLong = "C:\\" + std::string(238, 'f') + "\\fsx.exe";
    const struct {
        const char *program;
        std::string folder;
    } cases[] = {{"D:\\Steam\\steamapps\\common\\FSX\\fsx.exe", "D:\\Steam\\steamapps\\common\\FSX\\"},
                 {nullptr, "C:\\FSX\\"}, {"fsx.exe", "C:\\FSX\\"}, {tooLong.c_str(), ""}};
    for (const auto &c : cases) {
        UseSimulatorFolder(c.program);
        EXPECT_EQ(c.folder + "Drovana.cfg", PushbackState.configPath) << (c.program ? c.program : "no program");
    }
}

// A Prepar3D machine without FSX: the fallback finds Prepar3D's folder.
TEST_F(ConnectionTest, WithoutTheBoxedEditionsSetupPathAPrepar3DOneIsTaken) {
    SetupPathValue boxed;
    boxed.Remove();
    SetupPathValue prepar3d("SOFTWARE\\Lockheed Martin\\Prepar3D v2");
    prepar3d.Set("D:\\Prepar3D v2\\");
    UseSimulatorFolder(nullptr);
    EXPECT_STREQ("D:\\Prepar3D v2\\Drovana.cfg", PushbackState.configPath);
}

TEST_F(ConnectionTest, SetupPathWithoutSeparatorIsGluedOn) {
    SetupPathValue setup;
    setup.Set("C:\\FSX");
    UseSimulatorFolder(nullptr);
    EXPECT_STREQ("C:\\FSXDrovana.cfg", PushbackState.configPath);
    char commandLine[256];
    FormPlayerCommandLine(commandLine);
    EXPECT_STREQ("\"C:\\FSXKestrola.exe\"", commandLine);
}

TEST_F(ConnectionTest, UnreadableSetupPathGivesBareNames) {
    SetupPathValue setup;
    setup.Remove();
    UseSimulatorFolder(nullptr);
    EXPECT_STREQ("Drovana.cfg", PushbackState.configPath);
    char commandLine[256];
    FormPlayerCommandLine(commandLine);
    EXPECT_STREQ("\"Kestrola.exe\"", commandLine);
}

TEST_F(ConnectionTest, SetupPathTooLongForTheFileNamesGivesBareNames) {
    SetupPathValue setup;
    // 242 + "Kestrola.exe" and its two quotes = 256 characters: one too many,
    // though Drovana.cfg fits.
    setup.Set("C:\\" + std::string(238, 'f') + "\\");
    UseSimulatorFolder(nullptr);
    EXPECT_STREQ("Drovana.cfg", PushbackState.configPath) << "no truncated file name may be formed";
    char commandLine[256];
    FormPlayerCommandLine(commandLine);
    EXPECT_STREQ("\"Kestrola.exe\"", commandLine);

    // 241 + 12 + 2 = 255 fits exactly.
    setup.Set("C:\\" + std::string(237, 'f') + "\\");
    UseSimulatorFolder(nullptr);
    EXPECT_EQ(241u, strlen(PushbackState.setupPath));
    FormPlayerCommandLine(commandLine);
    EXPECT_EQ(255u, strlen(commandLine));
}

TEST_F(ConnectionTest, SetupPathFillingTheWholeBufferIsNeverReadPast) {
    SetupPathValue setup;
    char unterminated[256];
    memset(unterminated, 'u', sizeof unterminated);
    setup.SetBytes(unterminated, sizeof unterminated);
    memset(PushbackState.setupPath, 'z', sizeof PushbackState.setupPath);
    UseSimulatorFolder(nullptr);
    EXPECT_LT(strnlen(PushbackState.setupPath, sizeof PushbackState.setupPath), sizeof PushbackState.setupPath)
        << "setupPath must always be terminated";
    EXPECT_STREQ("Drovana.cfg", PushbackState.configPath);

    char overlong[400];
    memset(overlong, 'o', sizeof overlong);
    overlong[399] = '\0';
    setup.SetBytes(overlong, sizeof overlong);
    UseSimulatorFolder(nullptr);
    EXPECT_STREQ("Drovana.cfg", PushbackState.configPath) << "a value larger than the buffer counts as unreadable";
}

class OpenedConnectionTest : public ConnectionTest {
protected:
    // DLLStart starts the player found beside this program, where there is none.
    void SetUp() override {
        ConnectionTest::SetUp();
        ASSERT_FALSE(FileExists(ProgramFolder() + "Kestrola.exe"));
        DLLStart();
        ASSERT_NE(static_cast<DispatchProc>(nullptr), fake_simconnect::dispatch);
    }
};

TEST_F(OpenedConnectionTest, OpenBuildsMenuDefinitionsSubscriptionsAndRequests) {
    DeliverHeader(SIMCONNECT_RECV_ID_OPEN);
    EXPECT_EQ(std::vector<std::string>{"\"Drovana...\",10,0"}, ArgsOf("SimConnect_MenuAddItem"));
    const std::vector<std::string> menu = {
        "10,\"Setting\",108,0",    "10,\"---------\",102,0", "10,\"Auto Right\",100,0", "10,\"Auto Left\",101,0",
        "10,\"Taxiway Right\",109,0", "10,\"Taxiway Left\",110,0", "10,\"---------\",102,0",  "10,\"Pushback\",103,0",  "10,\"Turn Right\",104,0", "10,\"Turn Left\",105,0",
        "10,\"---------\",102,0",  "10,\"STOP !!\",106,0",   "10,\"---------\",102,0",  "10,\"Correct Value\",107,0"};
    EXPECT_EQ(menu, ArgsOf("SimConnect_MenuAddSubItem"));
    const std::vector<std::string> definitions = {
        "1,\"Plane Latitude\",\"radians\",4,0,4.29497e+09",
        "1,\"Plane Longitude\",\"radians\",4,0,4.29497e+09",
        "1,\"Plane Altitude\",\"feet\",4,0,4.29497e+09",
        "1,\"Plane Heading Degrees True\",\"radians\",4,0,4.29497e+09",
        "1,\"PUSHBACK STATE\",\"enum\",4,0,4.29497e+09",
        "2,\"Sim On Ground\",\"bool\",4,0,4.29497e+09",
        "3,\"NUMBER OF ENGINES\",\"number\",4,0,4.29497e+09",
        "3,\"ENG COMBUSTION:1\",\"bool\",4,0,4.29497e+09",
        "3,\"ENG COMBUSTION:2\",\"bool\",4,0,4.29497e+09",
        "3,\"ENG COMBUSTION:3\",\"bool\",4,0,4.29497e+09",
        "3,\"ENG COMBUSTION:4\",\"bool\",4,0,4.29497e+09",
        "4,\"BRAKE PARKING POSITION\",\"position\",4,0,4.29497e+09"};
    EXPECT_EQ(definitions, ArgsOf("SimConnect_AddToDataDefinition"));
    EXPECT_EQ((std::vector<std::string>{"0,\"AircraftLoaded\"", "1,\"SimStart\""}),
              ArgsOf("SimConnect_SubscribeToSystemEvent"));
    EXPECT_EQ((std::vector<std::string>{"1,1,0,2,0,0,0,0", "2,2,0,2,0,0,0,0", "3,3,0,2,0,0,0,0", "4,4,0,2,0,0,0,0"}),
              ArgsOf("SimConnect_RequestDataOnSimObject"));

    // The menu comes before the definitions, and the requests last.
    const std::vector<FakeCall> calls = fake_simconnect::Calls();
    size_t lastMenu = 0, firstDefinition = calls.size(), lastDefinition = 0, firstRequest = calls.size();
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].function == "SimConnect_MenuAddSubItem") lastMenu = i;
        if (calls[i].function == "SimConnect_AddToDataDefinition") {
            if (firstDefinition == calls.size()) firstDefinition = i;
            lastDefinition = i;
        }
        if (calls[i].function == "SimConnect_RequestDataOnSimObject" && firstRequest == calls.size()) firstRequest = i;
    }
    EXPECT_LT(lastMenu, firstDefinition);
    EXPECT_LT(lastDefinition, firstRequest);
}

TEST_F(OpenedConnectionTest, SimStartAsksForTheAircraftAndTheReplySetsItsKey) {
    DeliverEvent(EVENT_SIM_START);
    EXPECT_EQ(std::vector<std::string>{"6,\"AircraftLoaded\""}, ArgsOf("SimConnect_RequestSystemState"));
    DeliverSystemState(REQ_AIRCRAFT_LOADED, "C:\\FSX\\SimObjects\\Airplanes\\Jet.Cargo\\Jet.Cargo.air");
    EXPECT_STREQ("Jet.Cargo", PushbackState.aircraftKey);
    EXPECT_STREQ("C:\\FSX\\SimObjects\\Airplanes\\Jet.Cargo\\Jet.Cargo.air", PushbackState.aircraftPath);
    DeliverSystemState(REQ_AIRCRAFT_LOADED, "");
    EXPECT_STREQ("", PushbackState.aircraftKey) << "an empty reply empties the key";
}

TEST_F(OpenedConnectionTest, UnterminatedAircraftReplyIsNotReadPast) {
    SIMCONNECT_RECV_SYSTEM_STATE reply;
    memset(&reply, 'k', sizeof reply);
    reply.dwSize = sizeof reply;
    reply.dwID = SIMCONNECT_RECV_ID_SYSTEM_STATE;
    reply.dwRequestID = REQ_AIRCRAFT_LOADED;
    fake_simconnect::Deliver(&reply, sizeof reply);
    EXPECT_EQ(259u, strlen(PushbackState.aircraftPath));
    EXPECT_EQ(255u, strlen(PushbackState.aircraftKey)) << "the key keeps the base name's first 255 characters";
}

TEST_F(OpenedConnectionTest, AircraftLoadedNotificationAloneChangesNothing) {
    DeliverSystemState(REQ_AIRCRAFT_LOADED, "C:\\A\\Liner.air");
    SIMCONNECT_RECV_EVENT_FILENAME notification;
    memset(&notification, 0, sizeof notification);
    notification.dwSize = sizeof notification;
    notification.dwID = SIMCONNECT_RECV_ID_EVENT_FILENAME;
    notification.uEventID = EVENT_AIRCRAFT_LOADED;
    lstrcpynA(notification.szFileName, "C:\\A\\Heavy.air", sizeof notification.szFileName);
    fake_simconnect::Deliver(&notification, sizeof notification);
    EXPECT_STREQ("Liner", PushbackState.aircraftKey);
    EXPECT_TRUE(ArgsOf("SimConnect_RequestSystemState").empty()) << "only SimStart asks for the aircraft";
}

TEST_F(OpenedConnectionTest, SeparatorsAndForeignEventsDoNothing) {
    const size_t before = fake_simconnect::Calls().size();
    DeliverEvent(MENU_SEPARATOR);
    DeliverEvent(EVENT_AIRCRAFT_LOADED);
    DeliverEvent(9999);
    EXPECT_EQ(before, fake_simconnect::Calls().size());
    EXPECT_EQ(SEQUENCE_IDLE, PushbackState.sequenceStep);
    EXPECT_EQ(PUSH_NONE, PushbackState.pushMode);
}

TEST_F(OpenedConnectionTest, DialogReplyWhileADialogRunsStartsNoSecond) {
    HANDLE running = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    PushbackState.dialogThread = running;
    DeliverSystemState(REQ_DIALOG_MODE, "", 1);
    EXPECT_EQ(running, PushbackState.dialogThread) << "a second dialog-mode reply must not start another dialog";
    PushbackState.dialogThread = nullptr;
    CloseHandle(running);
}

TEST_F(OpenedConnectionTest, AfterStopTheClosedConnectionIsNeverUsedAgain) {
    DeliverHeader(SIMCONNECT_RECV_ID_OPEN);
    DLLStop();
    DLLStop();
    EXPECT_EQ(1u, fake_simconnect::CallsOf("SimConnect_Close").size()) << "a second stop closed it again";

    // A run at its closing text and a measurement still tick after the stop.
    const size_t before = fake_simconnect::Calls().size();
    PushbackState.sequenceStep = SEQUENCE_CLOSING_CUE;
    SequencerTick(nullptr, WM_TIMER, 0, 0);
    SimReportsPushback(true);
    MeasureTimerProc(nullptr, WM_TIMER, 0, 0);
    const std::vector<FakeCall> calls = fake_simconnect::Calls();
    EXPECT_EQ(before, calls.size()) << calls.back().function << " on the closed connection";
}

TEST_F(OpenedConnectionTest, StopLeavesNoHookAndNoTimerBehind) {
    // The simulator may unload the module right after DLLStop: its window
    // procedure and its timers would then call freed code.
    HWND simulator = CreateWindowExA(0, "STATIC", "simulator", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE((HWND)nullptr, simulator);
    const LONG_PTR own = GetWindowLongPtrA(simulator, GWLP_WNDPROC);
    PushbackState.simWindow = simulator;
    DeliverHeader(SIMCONNECT_RECV_ID_OPEN);
    ASSERT_NE(own, GetWindowLongPtrA(simulator, GWLP_WNDPROC)) << "the hook was not installed";
    const UINT_PTR sequence = SetTimer(nullptr, 0, 60000, SequencerTick);
    const UINT_PTR measure = SetTimer(nullptr, 0, 60000, MeasureTimerProc);
    PushbackState.sequenceTimer = sequence;
    PushbackState.measureTimer = measure;
    PushbackState.sequenceStep = SEQUENCE_PUSHBACK;

    DLLStop();
    EXPECT_EQ(own, GetWindowLongPtrA(simulator, GWLP_WNDPROC)) << "the simulator's window still calls the hook";
    EXPECT_FALSE(KillTimer(nullptr, sequence)) << "the sequencer's timer outlived DLLStop";
    EXPECT_FALSE(KillTimer(nullptr, measure)) << "the measurement's timer outlived DLLStop";
    EXPECT_EQ(SEQUENCE_IDLE, PushbackState.sequenceStep);
    DestroyWindow(simulator);
}

TEST_F(OpenedConnectionTest, ShortOrUnknownMessagesAreDropped) {
    SIMCONNECT_RECV_SYSTEM_STATE reply;
    memset(&reply, 0, sizeof reply);
    reply.dwID = SIMCONNECT_RECV_ID_SYSTEM_STATE;
    reply.dwRequestID = REQ_AIRCRAFT_LOADED;
    lstrcpynA(reply.szString, "C:\\A\\Liner.air", sizeof reply.szString);
    fake_simconnect::Deliver(&reply, 20);
    EXPECT_STREQ("", PushbackState.aircraftKey) << "a message shorter than its layout must not be read";
    fake_simconnect::Deliver(&reply, 4);
    DeliverHeader(SIMCONNECT_RECV_ID_QUIT);
    DeliverHeader(1234);
    EXPECT_TRUE(ArgsOf("SimConnect_MenuAddItem").empty());
}

}  // namespace
