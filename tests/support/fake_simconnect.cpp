#include "fake_simconnect.h"

#include <stdio.h>
#include <string.h>

namespace fake_simconnect {
HRESULT openResult = S_OK;
DispatchProc dispatch = nullptr;
}  // namespace fake_simconnect

namespace {

// The dialog and sound threads call in too.
CRITICAL_SECTION &Lock() {
    static CRITICAL_SECTION lock;
    static bool ready = (InitializeCriticalSection(&lock), true);
    (void)ready;
    return lock;
}

std::vector<FakeCall> &Log() {
    static std::vector<FakeCall> log;
    return log;
}

void Record(const char *function, const std::string &args, const std::string &text = std::string(), DWORD size = 0) {
    EnterCriticalSection(&Lock());
    Log().push_back(FakeCall{function, args, text, size, GetCurrentThreadId()});
    LeaveCriticalSection(&Lock());
}

std::string Quote(const char *text) { return text ? "\"" + std::string(text) + "\"" : std::string("NULL"); }

std::string Number(double value) {
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

HANDLE const kConnection = reinterpret_cast<HANDLE>(0x5C0);

}  // namespace

namespace fake_simconnect {

std::vector<FakeCall> Calls() {
    EnterCriticalSection(&Lock());
    std::vector<FakeCall> copy = Log();
    LeaveCriticalSection(&Lock());
    return copy;
}

std::vector<FakeCall> CallsOf(const std::string &function) {
    std::vector<FakeCall> matching;
    for (const FakeCall &call : Calls())
        if (call.function == function) matching.push_back(call);
    return matching;
}

std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const FakeCall &call : CallsOf("SimConnect_Text")) texts.push_back(call.text);
    return texts;
}

void Reset() {
    EnterCriticalSection(&Lock());
    Log().clear();
    LeaveCriticalSection(&Lock());
    openResult = S_OK;
    dispatch = nullptr;
}

HANDLE Connection() { return kConnection; }

void Deliver(SIMCONNECT_RECV *message, DWORD size) {
    if (dispatch) dispatch(message, size, nullptr);
}

}  // namespace fake_simconnect

extern "C" {

HRESULT __stdcall SimConnect_Open(HANDLE *phSimConnect, LPCSTR szName, HWND hWnd, DWORD UserEventWin32,
                                  HANDLE hEventHandle, DWORD ConfigIndex) {
    Record("SimConnect_Open", Quote(szName) + "," + Number(reinterpret_cast<UINT_PTR>(hWnd)) + "," +
                                  Number(UserEventWin32) + "," + Number(reinterpret_cast<UINT_PTR>(hEventHandle)) +
                                  "," + Number(ConfigIndex));
    if (FAILED(fake_simconnect::openResult)) {
        *phSimConnect = nullptr;
        return fake_simconnect::openResult;
    }
    *phSimConnect = kConnection;
    return S_OK;
}

HRESULT __stdcall SimConnect_Close(HANDLE hSimConnect) {
    Record("SimConnect_Close", Number(reinterpret_cast<UINT_PTR>(hSimConnect)));
    return S_OK;
}

HRESULT __stdcall SimConnect_CallDispatch(HANDLE, DispatchProc pfcnDispatch, void *pContext) {
    Record("SimConnect_CallDispatch", pContext ? "context" : "NULL");
    fake_simconnect::dispatch = pfcnDispatch;
    return S_OK;
}

HRESULT __stdcall SimConnect_MenuAddItem(HANDLE, const char *szMenuItem, SIMCONNECT_CLIENT_EVENT_ID MenuEventID,
                                         DWORD dwData) {
    Record("SimConnect_MenuAddItem", Quote(szMenuItem) + "," + Number(MenuEventID) + "," + Number(dwData));
    return S_OK;
}

HRESULT __stdcall SimConnect_MenuAddSubItem(HANDLE, SIMCONNECT_CLIENT_EVENT_ID MenuEventID, const char *szMenuItem,
                                            SIMCONNECT_CLIENT_EVENT_ID SubMenuEventID, DWORD dwData) {
    Record("SimConnect_MenuAddSubItem",
           Number(MenuEventID) + "," + Quote(szMenuItem) + "," + Number(SubMenuEventID) + "," + Number(dwData));
    return S_OK;
}

HRESULT __stdcall SimConnect_AddToDataDefinition(HANDLE, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                 const char *DatumName, const char *UnitsName,
                                                 SIMCONNECT_DATATYPE DatumType, float fEpsilon, DWORD DatumID) {
    Record("SimConnect_AddToDataDefinition", Number(DefineID) + "," + Quote(DatumName) + "," + Quote(UnitsName) +
                                                 "," + Number(DatumType) + "," + Number(fEpsilon) + "," +
                                                 Number(DatumID));
    return S_OK;
}

HRESULT __stdcall SimConnect_RequestDataOnSimObject(HANDLE, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                                    SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                    SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_PERIOD Period,
                                                    SIMCONNECT_DATA_REQUEST_FLAG Flags, DWORD origin,
                                                    DWORD interval, DWORD limit) {
    Record("SimConnect_RequestDataOnSimObject", Number(RequestID) + "," + Number(DefineID) + "," + Number(ObjectID) +
                                                    "," + Number(Period) + "," + Number(Flags) + "," +
                                                    Number(origin) + "," + Number(interval) + "," + Number(limit));
    return S_OK;
}

HRESULT __stdcall SimConnect_SubscribeToSystemEvent(HANDLE, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                    const char *SystemEventName) {
    Record("SimConnect_SubscribeToSystemEvent", Number(EventID) + "," + Quote(SystemEventName));
    return S_OK;
}

HRESULT __stdcall SimConnect_RequestSystemState(HANDLE, SIMCONNECT_DATA_REQUEST_ID RequestID, const char *szState) {
    Record("SimConnect_RequestSystemState", Number(RequestID) + "," + Quote(szState));
    return S_OK;
}

HRESULT __stdcall SimConnect_SetSystemState(HANDLE, const char *szState, DWORD dwInteger, float fFloat,
                                            const char *szString) {
    Record("SimConnect_SetSystemState",
           Quote(szState) + "," + Number(dwInteger) + "," + Number(fFloat) + "," + Quote(szString));
    return S_OK;
}

HRESULT __stdcall SimConnect_Text(HANDLE, SIMCONNECT_TEXT_TYPE type, float fTimeSeconds,
                                  SIMCONNECT_CLIENT_EVENT_ID EventID, DWORD cbUnitSize, void *pDataSet) {
    const char *text = static_cast<const char *>(pDataSet);
    Record("SimConnect_Text", Number(type) + "," + Number(fTimeSeconds) + "," + Number(EventID) + "," +
                                  Number(cbUnitSize),
           text ? std::string(text, strnlen(text, cbUnitSize)) : std::string(), cbUnitSize);
    return S_OK;
}

}  // extern "C"
