// The stand-in SimConnect.dll as a client sees it, loaded afresh for every
// case: what it delivers, when, on which thread, and what it refuses.
#include <windows.h>

#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <string>
#include <vector>

#include "../../sim/simconnect/standin.h"
#include "SimConnect.h"

namespace {

typedef HRESULT(__stdcall *OpenFn)(HANDLE *, LPCSTR, HWND, DWORD, HANDLE, DWORD);
typedef HRESULT(__stdcall *CloseFn)(HANDLE);
typedef HRESULT(__stdcall *CallDispatchFn)(HANDLE, DispatchProc, void *);
typedef HRESULT(__stdcall *MenuAddItemFn)(HANDLE, const char *, DWORD, DWORD);
typedef HRESULT(__stdcall *MenuAddSubItemFn)(HANDLE, DWORD, const char *, DWORD, DWORD);
typedef HRESULT(__stdcall *AddToDataDefinitionFn)(HANDLE, DWORD, const char *, const char *, SIMCONNECT_DATATYPE,
                                                  float, DWORD);
typedef HRESULT(__stdcall *RequestDataFn)(HANDLE, DWORD, DWORD, DWORD, SIMCONNECT_PERIOD, DWORD, DWORD, DWORD, DWORD);
typedef HRESULT(__stdcall *SubscribeFn)(HANDLE, DWORD, const char *);
typedef HRESULT(__stdcall *RequestSystemStateFn)(HANDLE, DWORD, const char *);
typedef HRESULT(__stdcall *SetSystemStateFn)(HANDLE, const char *, DWORD, float, const char *);
typedef HRESULT(__stdcall *TextFn)(HANDLE, SIMCONNECT_TEXT_TYPE, float, DWORD, DWORD, void *);

struct Received {
    std::vector<unsigned char> bytes;
    DWORD size;
    DWORD thread;
    const SIMCONNECT_RECV *header() const { return reinterpret_cast<const SIMCONNECT_RECV *>(bytes.data()); }
    template <typename T>
    const T *as() const { return reinterpret_cast<const T *>(bytes.data()); }
};

std::vector<Received> received;
std::vector<std::string> traceLines;
std::vector<std::string> consoleLines;
CRITICAL_SECTION hostLock;
double clockNow = 0.0;

void CALLBACK Dispatch(SIMCONNECT_RECV *message, DWORD size, void *) {
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(message);
    received.push_back(Received{std::vector<unsigned char>(bytes, bytes + size), size, GetCurrentThreadId()});
}
void WriteTrace(const char *line) {
    EnterCriticalSection(&hostLock);
    traceLines.push_back(line);
    LeaveCriticalSection(&hostLock);
}
void PrintLine(const char *line) {
    EnterCriticalSection(&hostLock);
    consoleLines.push_back(line);
    LeaveCriticalSection(&hostLock);
}
double Now() { return clockNow; }

class StandIn : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeCriticalSection(&hostLock);
        received.clear();
        traceLines.clear();
        consoleLines.clear();
        clockNow = 0.0;
        char path[MAX_PATH];
        GetModuleFileNameA(nullptr, path, sizeof path);
        *strrchr(path, '\\') = '\0';
        const std::string dll = std::string(path) + "\\standin\\SimConnect.dll";
        module = LoadLibraryA(dll.c_str());
        ASSERT_NE(module, nullptr) << "cannot load " << dll;
        Get("SimConnect_Open", &open);
        Get("SimConnect_Close", &close);
        Get("SimConnect_CallDispatch", &callDispatch);
        Get("SimConnect_MenuAddItem", &menuAddItem);
        Get("SimConnect_MenuAddSubItem", &menuAddSubItem);
        Get("SimConnect_AddToDataDefinition", &addToDataDefinition);
        Get("SimConnect_RequestDataOnSimObject", &requestData);
        Get("SimConnect_SubscribeToSystemEvent", &subscribe);
        Get("SimConnect_RequestSystemState", &requestSystemState);
        Get("SimConnect_SetSystemState", &setSystemState);
        Get("SimConnect_Text", &text);
        Get("StandIn_Attach", &attach);
        Get("StandIn_Pump", &pump);
        Get("StandIn_PickMenu", &pickMenu);
        Get("StandIn_SetAircraftPath", &setAircraftPath);
        Get("StandIn_SetOpenDelay", &setOpenDelay);
        Get("StandIn_FailOpen", &failOpen);
        StandInHost host = {WriteTrace, PrintLine, Now, nullptr};
        attach(&host);
        memset(&aircraft, 0, sizeof aircraft);
    }
    void TearDown() override {
        if (module != nullptr) FreeLibrary(module);
        DeleteCriticalSection(&hostLock);
    }
    template <typename T>
    void Get(const char *name, T *function) {
        *function = reinterpret_cast<T>(reinterpret_cast<void *>(GetProcAddress(module, name)));
        ASSERT_NE(*function, nullptr) << name << " is not exported undecorated";
    }
    // Open, dispatch registered, OPEN delivered.
    void Connect() {
        ASSERT_EQ(open(&handle, "Test", nullptr, 0, nullptr, 0), S_OK);
        ASSERT_EQ(callDispatch(handle, Dispatch, nullptr), S_OK);
        pump(&aircraft);
        ASSERT_EQ(received.size(), 1u);
        ASSERT_EQ(received[0].header()->dwID, (DWORD)SIMCONNECT_RECV_ID_OPEN);
        received.clear();
    }
    bool TraceHas(const char *fragment) {
        for (const std::string &line : traceLines)
            if (line.find(fragment) != std::string::npos) return true;
        return false;
    }

    HMODULE module = nullptr;
    HANDLE handle = nullptr;
    StandInAircraft aircraft;
    OpenFn open;
    CloseFn close;
    CallDispatchFn callDispatch;
    MenuAddItemFn menuAddItem;
    MenuAddSubItemFn menuAddSubItem;
    AddToDataDefinitionFn addToDataDefinition;
    RequestDataFn requestData;
    SubscribeFn subscribe;
    RequestSystemStateFn requestSystemState;
    SetSystemStateFn setSystemState;
    TextFn text;
    StandInAttachFn attach;
    StandInPumpFn pump;
    StandInPickMenuFn pickMenu;
    StandInSetAircraftPathFn setAircraftPath;
    StandInSetOpenDelayFn setOpenDelay;
    StandInFailOpenFn failOpen;
};

TEST_F(StandIn, NothingArrivesBeforeDispatchAndOpenWaitsForTheLoadingDelay) {
    setOpenDelay(1.0);
    ASSERT_EQ(open(&handle, "Test", nullptr, 0, nullptr, 0), S_OK);
    pump(&aircraft);
    EXPECT_TRUE(received.empty()) << "a message arrived before CallDispatch";
    ASSERT_EQ(callDispatch(handle, Dispatch, nullptr), S_OK);
    clockNow = 0.9;
    pump(&aircraft);
    EXPECT_TRUE(received.empty()) << "OPEN arrived before the loading delay";
    clockNow = 1.0;
    pump(&aircraft);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].header()->dwID, (DWORD)SIMCONNECT_RECV_ID_OPEN);
    EXPECT_EQ(received[0].size, sizeof(SIMCONNECT_RECV_OPEN));
}

TEST_F(StandIn, AfterOpenTheAircraftNotificationThenSimStartGoToSubscribers) {
    setAircraftPath("C:\\FSX\\SimObjects\\Airplanes\\Prop\\Prop.air", 0);
    Connect();
    ASSERT_EQ(subscribe(handle, 0, "AircraftLoaded"), S_OK);
    ASSERT_EQ(subscribe(handle, 1, "SimStart"), S_OK);
    pump(&aircraft);
    ASSERT_EQ(received.size(), 2u);
    ASSERT_EQ(received[0].header()->dwID, (DWORD)SIMCONNECT_RECV_ID_EVENT_FILENAME);
    EXPECT_EQ(received[0].as<SIMCONNECT_RECV_EVENT_FILENAME>()->uEventID, 0u);
    EXPECT_STREQ(received[0].as<SIMCONNECT_RECV_EVENT_FILENAME>()->szFileName,
                 "C:\\FSX\\SimObjects\\Airplanes\\Prop\\Prop.air");
    ASSERT_EQ(received[1].header()->dwID, (DWORD)SIMCONNECT_RECV_ID_EVENT);
    EXPECT_EQ(received[1].as<SIMCONNECT_RECV_EVENT>()->uEventID, 1u);
    received.clear();
    pump(&aircraft);
    EXPECT_TRUE(received.empty()) << "SimStart was sent more than once";
}

TEST_F(StandIn, DataComesEveryFrameInRegistrationOrderAndRequestedUnits) {
    Connect();
    addToDataDefinition(handle, 1, "PLANE LATITUDE", "degrees", SIMCONNECT_DATATYPE_FLOAT64, 0.0f, SIMCONNECT_UNUSED);
    addToDataDefinition(handle, 1, "Plane Heading Degrees True", "radians", SIMCONNECT_DATATYPE_FLOAT64, 0.0f,
                        SIMCONNECT_UNUSED);
    addToDataDefinition(handle, 1, "Plane Altitude", "meters", SIMCONNECT_DATATYPE_FLOAT64, 0.0f, SIMCONNECT_UNUSED);
    addToDataDefinition(handle, 1, "No Such Variable", "number", SIMCONNECT_DATATYPE_FLOAT64, 0.0f, SIMCONNECT_UNUSED);
    addToDataDefinition(handle, 2, "ENG COMBUSTION:2", "bool", SIMCONNECT_DATATYPE_FLOAT64, 0.0f, SIMCONNECT_UNUSED);
    ASSERT_EQ(requestData(handle, 1, 1, 0, SIMCONNECT_PERIOD_VISUAL_FRAME, 0, 0, 0, 0), S_OK);
    ASSERT_EQ(requestData(handle, 7, 2, 0, SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0), S_OK);
    aircraft.latitude = acos(-1.0) / 4;
    aircraft.heading = 1.5;
    aircraft.altitude = 1000.0;
    aircraft.combustion[1] = 1.0;
    for (int frame = 0; frame < 3; ++frame) pump(&aircraft);
    ASSERT_EQ(received.size(), 4u) << "three frames of request 1 and one of request 7";
    const SIMCONNECT_RECV_SIMOBJECT_DATA *data = received[0].as<SIMCONNECT_RECV_SIMOBJECT_DATA>();
    ASSERT_EQ(data->dwID, (DWORD)SIMCONNECT_RECV_ID_SIMOBJECT_DATA);
    EXPECT_EQ(data->dwRequestID, 1u);
    EXPECT_EQ(data->dwDefineCount, 4u);
    EXPECT_EQ(received[0].size, SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET + 4 * sizeof(double));
    double values[4];
    memcpy(values, received[0].bytes.data() + SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET, sizeof values);
    EXPECT_NEAR(values[0], 45.0, 1e-9);
    EXPECT_DOUBLE_EQ(values[1], 1.5);
    EXPECT_NEAR(values[2], 304.8, 1e-9);
    EXPECT_EQ(values[3], 0.0) << "an unknown variable reads 0";
    EXPECT_EQ(received[1].as<SIMCONNECT_RECV_SIMOBJECT_DATA>()->dwRequestID, 7u);
    double engine2;
    memcpy(&engine2, received[1].bytes.data() + SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET, sizeof engine2);
    EXPECT_EQ(engine2, 1.0);
    EXPECT_TRUE(TraceHas("\"variable\":\"No Such Variable\"") && TraceHas("\"variable_known\":false"));

    received.clear();
    requestData(handle, 1, 1, 0, SIMCONNECT_PERIOD_NEVER, 0, 0, 0, 0);
    pump(&aircraft);
    EXPECT_TRUE(received.empty()) << "SIMCONNECT_PERIOD_NEVER did not stop the request";
}

struct DialogCall {
    SetSystemStateFn setSystemState;
    RequestSystemStateFn requestSystemState;
    HANDLE handle;
};

DWORD WINAPI SetDialogModeOnOtherThread(void *parameter) {
    DialogCall *call = static_cast<DialogCall *>(parameter);
    call->setSystemState(call->handle, "DialogMode", 1, 0.0f, nullptr);
    call->requestSystemState(call->handle, 7, "DialogMode");
    return 0;
}

TEST_F(StandIn, RepliesComeWithTheNextFrameOnThePumpingThread) {
    setAircraftPath("C:\\FSX\\SimObjects\\Airplanes\\Jet.Cargo\\Jet.Cargo.air", 0);
    Connect();
    ASSERT_EQ(requestSystemState(handle, 6, "AircraftLoaded"), S_OK);
    EXPECT_EQ(requestSystemState(handle, 8, "NoSuchState"), E_INVALIDARG);
    DialogCall call = {setSystemState, requestSystemState, handle};
    HANDLE thread = CreateThread(nullptr, 0, SetDialogModeOnOtherThread, &call, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    EXPECT_TRUE(received.empty()) << "a reply was delivered outside the pump";
    pump(&aircraft);
    ASSERT_EQ(received.size(), 2u) << "one reply each, none for the unknown state";
    const SIMCONNECT_RECV_SYSTEM_STATE *aircraftReply = received[0].as<SIMCONNECT_RECV_SYSTEM_STATE>();
    EXPECT_EQ(aircraftReply->dwRequestID, 6u);
    EXPECT_STREQ(aircraftReply->szString, "C:\\FSX\\SimObjects\\Airplanes\\Jet.Cargo\\Jet.Cargo.air");
    const SIMCONNECT_RECV_SYSTEM_STATE *dialogReply = received[1].as<SIMCONNECT_RECV_SYSTEM_STATE>();
    EXPECT_EQ(dialogReply->dwRequestID, 7u);
    EXPECT_EQ(dialogReply->dwInteger, 1u) << "the reply does not carry the dialog mode last set";
    EXPECT_EQ(received[1].thread, GetCurrentThreadId());
    EXPECT_TRUE(TraceHas("\"thread\":\"other\",\"fn\":\"SimConnect_SetSystemState\""));
}

TEST_F(StandIn, APickSendsTheFirstItemWithThatCaption) {
    Connect();
    ASSERT_EQ(menuAddItem(handle, "Root", 10, 0), S_OK);
    ASSERT_EQ(menuAddSubItem(handle, 10, "---", 102, 0), S_OK);
    ASSERT_EQ(menuAddSubItem(handle, 10, "Go", 100, 7), S_OK);
    ASSERT_EQ(menuAddSubItem(handle, 10, "---", 103, 0), S_OK);
    EXPECT_EQ(menuAddSubItem(handle, 11, "Orphan", 104, 0), E_INVALIDARG) << "an item under no root was accepted";
    EXPECT_EQ(pickMenu("Go"), 100);
    EXPECT_EQ(pickMenu("---"), 102);
    EXPECT_EQ(pickMenu("Orphan"), -1);
    EXPECT_EQ(pickMenu("go"), -1) << "captions match exactly";
    pump(&aircraft);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].as<SIMCONNECT_RECV_EVENT>()->uEventID, 100u);
    EXPECT_EQ(received[0].as<SIMCONNECT_RECV_EVENT>()->dwData, 7u);
    EXPECT_EQ(received[1].as<SIMCONNECT_RECV_EVENT>()->uEventID, 102u);
}

TEST_F(StandIn, TextIsReadNoFurtherThanItsSize) {
    Connect();
    char unterminated[6] = {'A', 'B', 'C', 'D', 'E', 'F'};
    ASSERT_EQ(text(handle, SIMCONNECT_TEXT_TYPE_PRINT_RED, 10.0f, 5, 3, unterminated), S_OK);
    EXPECT_TRUE(TraceHas("\"ev\":\"text\"") && TraceHas("\"text\":\"ABC\",") && TraceHas("\"terminated\":false"));
    EXPECT_EQ(text(handle, SIMCONNECT_TEXT_TYPE_PRINT_RED, 10.0f, 5, 0, unterminated), E_INVALIDARG);
    char message[256] = "Good luck !";
    ASSERT_EQ(text(handle, SIMCONNECT_TEXT_TYPE_PRINT_RED, 10.0f, 5, sizeof message, message), S_OK);
    ASSERT_EQ(consoleLines.size(), 2u);
    EXPECT_EQ(consoleLines[1].find("\x1b[31m"), 0u) << "not red: " << consoleLines[1];
    EXPECT_NE(consoleLines[1].find("] Good luck !\x1b[0m"), std::string::npos) << consoleLines[1];
}

TEST_F(StandIn, AFailedOpenAndAForeignHandleAreRefused) {
    failOpen(1);
    handle = reinterpret_cast<HANDLE>(1);
    EXPECT_EQ(open(&handle, "Test", nullptr, 0, nullptr, 0), E_FAIL);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(callDispatch(handle, Dispatch, nullptr), E_FAIL);
    EXPECT_EQ(menuAddItem(handle, "Root", 10, 0), E_FAIL);
    pump(&aircraft);
    EXPECT_TRUE(received.empty());

    failOpen(0);
    Connect();
    HANDLE other = reinterpret_cast<HANDLE>(reinterpret_cast<UINT_PTR>(handle) + 4);
    EXPECT_EQ(subscribe(other, 1, "SimStart"), E_FAIL);
    EXPECT_TRUE(TraceHas("\"handle_ok\":false"));
}

TEST_F(StandIn, NothingIsDeliveredAfterClose) {
    Connect();
    addToDataDefinition(handle, 1, "Sim On Ground", "bool", SIMCONNECT_DATATYPE_FLOAT64, 0.0f, SIMCONNECT_UNUSED);
    requestData(handle, 1, 1, 0, SIMCONNECT_PERIOD_VISUAL_FRAME, 0, 0, 0, 0);
    requestSystemState(handle, 6, "AircraftLoaded");
    ASSERT_EQ(close(handle), S_OK);
    pump(&aircraft);
    EXPECT_TRUE(received.empty()) << "a message arrived after SimConnect_Close";
    EXPECT_EQ(requestSystemState(handle, 6, "AircraftLoaded"), E_FAIL);
}

}  // namespace
