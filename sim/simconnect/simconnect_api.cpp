// The eleven SimConnect functions, as the simulator's library exports them
// (undecorated stdcall names). Every call goes into the trace with its
// arguments; whatever the simulator would send back is queued for the next
// frame's dispatch.
#include <stdio.h>
#include <string.h>

#include "../common/json_line.h"
#include "SimConnect.h"
#include "connection_state.h"

#define SIMCONNECT_EXPORT extern "C" __declspec(dllexport)

namespace {

bool HandleOk(HANDLE handle) { return handle == ConnectionHandle() && Connection().open; }

HRESULT Finish(JsonLine &record, HANDLE handle, HRESULT result) {
    record.Int("send_id", ++Connection().lastSendId);
    record.Bool("handle_ok", handle == ConnectionHandle());
    record.Int("result", static_cast<long>(result));
    WriteRecord(record);
    return result;
}

HRESULT Result(HANDLE handle) { return HandleOk(handle) ? S_OK : E_FAIL; }

// A client's text as kept in the menu and the registrations: never read past
// 256 bytes, even without a NUL.
std::string Bounded(const char *text) { return std::string(text, strnlen(text, 256)); }

const char *DatatypeName(int datatype) {
    switch (datatype) {
    case SIMCONNECT_DATATYPE_INT32:
        return "INT32";
    case SIMCONNECT_DATATYPE_INT64:
        return "INT64";
    case SIMCONNECT_DATATYPE_FLOAT32:
        return "FLOAT32";
    case SIMCONNECT_DATATYPE_FLOAT64:
        return "FLOAT64";
    default:
        return "unsupported";
    }
}

DataDefinition &DefinitionFor(DWORD id) {
    ConnectionState &c = Connection();
    for (DataDefinition &d : c.definitions)
        if (d.id == id) return d;
    c.definitions.push_back(DataDefinition{id, {}});
    return c.definitions.back();
}

void ShowText(const char *text) {
    // Red, with the time of the run, as the simulator would paint it on screen.
    char line[400];
    snprintf(line, sizeof line, "\x1b[31m[%8.2f] %s\x1b[0m", Now(), text);
    PrintConsole(line);
    const ConnectionState &c = Connection();
    if (c.hostAttached && c.host.textShown != nullptr) c.host.textShown(text);
}

}  // namespace

SIMCONNECT_EXPORT HRESULT __stdcall SimConnect_Open(HANDLE *phSimConnect, LPCSTR szName, HWND hWnd,
                                                    DWORD UserEventWin32, HANDLE hEventHandle, DWORD ConfigIndex) {
    ConnectionLock hold;
    ConnectionState &c = Connection();
    JsonLine record = StartRecord("call");
    record.Str("fn", "SimConnect_Open").Str("name", szName);
    record.Bool("hwnd_null", hWnd == nullptr).Int("user_event", UserEventWin32);
    record.Bool("event_handle_null", hEventHandle == nullptr).Int("config_index", ConfigIndex);
    HRESULT result = S_OK;
    if (phSimConnect == nullptr) {
        result = E_POINTER;
    } else if (c.failOpen) {
        *phSimConnect = nullptr;
        result = E_FAIL;
    } else {
        *phSimConnect = ConnectionHandle();
        c.open = true;
        SIMCONNECT_RECV_OPEN open;
        memset(&open, 0, sizeof open);
        open.dwSize = sizeof open;
        open.dwVersion = 2;
        open.dwID = SIMCONNECT_RECV_ID_OPEN;
        lstrcpynA(open.szApplicationName, "Microsoft Flight Simulator X", sizeof open.szApplicationName);
        open.dwApplicationVersionMajor = 10;
        open.dwApplicationBuildMajor = 60905;
        open.dwSimConnectVersionMajor = 10;
        open.dwSimConnectBuildMajor = 60905;
        QueueMessage(&open, sizeof open, "OPEN");
    }
    record.Int("result", static_cast<long>(result));
    WriteRecord(record);
    return result;
}

SIMCONNECT_EXPORT HRESULT __stdcall SimConnect_Close(HANDLE hSimConnect) {
    ConnectionLock hold;
    ConnectionState &c = Connection();
    JsonLine record = StartRecord("call");
    record.Str("fn", "SimConnect_Close");
    const HRESULT result = Result(hSimConnect);
    if (result == S_OK) {
        c.open = false;
        c.queue.clear();
        c.requests.clear();
    }
    return Finish(record, hSimConnect, result);
}

SIMCONNECT_EXPORT HRESULT __stdcall SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch,
                                                            void *pContext) {
    ConnectionLock hold;
    ConnectionState &c = Connection();
    JsonLine record = StartRecord("call");
    record.Str("fn", "SimConnect_CallDispatch");
    record.Bool("dispatch_null", pfcnDispatch == nullptr).Bool("context_null", pContext == nullptr);
    const HRESULT result = Result(hSimConnect);
    if (result == S_OK) {
        c.dispatch = pfcnDispatch;
        c.dispatchContext = pContext;
        c.dispatchRegistered = Now();
    }
    return Finish(record, hSimConnect, result);
}

SIMCONNECT_EXPORT HRESULT __stdcall SimConnect_MenuAddItem(HANDLE hSimConnect, const char *szMenuItem,
                                                           SIMCONNECT_CLIENT_EVENT_ID MenuEventID, DWORD dwData) {
    ConnectionLock hold;
    JsonLine record = StartRecord("call");
    record.Str("fn", "SimConnect_MenuAddItem").StrBounded("caption", szMenuItem, 256);
    record.Int("id", MenuEventID).Int("data", dwData);
    const HRESULT result = szMenuItem == nullptr ? E_POINTER : Result(hSimConnect);
    if (result == S_OK)
        Connection().menu.push_back(MenuItem{Bounded(szMenuItem), MenuEventID, SIMCONNECT_UNUSED, dwData});
    return Finish(record, hSimConnect, result);
}

SIMCONNECT_EXPORT HRESULT __stdcall SimConnect_MenuAddSubItem(HANDLE hSimConnect,
                                                              SIMCONNECT_CLIENT_EVENT_ID MenuEventID,
                                                              const char *szMenuItem,
                                                              SIMCONNECT_CLIENT_EVENT_ID SubMenuEventID, DWORD dwData) {
    ConnectionLock hold;
    ConnectionState &c = Connection();
    JsonLine record = StartRecord("call");
    record.Str("fn", "SimConnect_MenuAddSubItem").Int("parent", MenuEventID);
    record.StrBounded("caption", szMenuItem, 256).Int("id", SubMenuEventID).Int("data", dwData);
    HRESULT result = szMenuItem == nullptr ? E_POINTER : Result(hSimConnect);
    bool parentKnown = false;
    for (const MenuItem &item : c.menu)
        if (item.parent == SIMCONNECT_UNUSED && item.id == MenuEventID) parentKnown = true;
    record.Bool("parent_known", parentKnown);
    if (result == S_OK && !parentKnown) result = E_INVALIDARG;
    if (result == S_OK) c.menu.push_back(MenuItem{Bounded(szMenuItem), SubMenuEventID, MenuEventID, dwData});
    return Finish(record, hSimConnect, result);
}

SIMCONNECT_EXPORT HRESULT __stdcall SimConnect_AddToDataDefinition(HANDLE hSimConnect,
                                                                   SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                                   const char *DatumName, const char *UnitsName,
                                                                   SIMCONNECT_DATATYPE DatumType, float fEpsilon,
                                                                   DWORD DatumID) {
    ConnectionLock hold;
    JsonLine record = StartRecord("call");
    record.Str("fn", "SimConnect_AddToDataDefinition").Int("definition", DefineID);
    record.StrBounded("variable", DatumName, 256).StrBounded("units", UnitsName, 256);
    record.Int("datatype", DatumType).Str("datatype_name", DatatypeName(DatumType));
    record.Num("epsilon", fEpsilon).Int("datum_id", DatumID);
    HRESULT result = (DatumName == nullptr || UnitsName == nullptr) ? E_POINTER : Result(hSimConnect);
    if (result == S_OK && DatumType != SIMCONNECT_DATATYPE_FLOAT64 && DatumType != SIMCONNECT_DATATYPE_FLOAT32 &&
        DatumType != SIMCONNECT_DATATYPE_INT32 && DatumType != SIMCONNECT_DATATYPE_INT64)
        result = E_INVALIDARG;
    VariableBinding binding = {-1, 1.0, false};
    if (result == S_OK) {
        const std::string variable = Bounded(DatumName), units = Bounded(UnitsName);
        binding = BindVariable(variable.c_str(), units.c_str());
        DefinitionFor(DefineID).items.push_back(DataItem{variable, units, DatumType, binding});
    }
    record.Bool("variable_known", binding.source >= 0).Bool("units_known", binding.unitsKnown);
    return Finish(record, hSimConnect, result);
}

SIMCONNECT_EXPORT HRESULT __stdcall SimConnect_RequestDataOnSimObject(
    HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID, SIMCONNECT_DATA_DEFINITION_ID DefineID,
    SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_PERIOD Period, SIMCONNECT_DATA_REQUEST_FLAG Flags, DWORD origin,
    DWORD interval, DWORD limit) {
    ConnectionLock hold;
    ConnectionState &c = Connection();
    JsonLine record = StartRecord("call");
    record.Str("fn", "SimConnect_RequestDataOnSimObject").Int("request", RequestID).Int("definition", DefineID);
    record.Int("object", ObjectID).Int("period", Period).Int("flags", Flags);
    record.Int("origin", origin).Int("interval", interval).Int("limit", limit);
    HRESULT result = Result(hSimConnect);
    bool definitionKnown = false;
    for (const DataDefinition &d : c.definitions)
        if (d.id == DefineID) definitionKnown = true;
    record.Bool("definition_known", definitionKnown);
    if (result == S_OK && (!definitionKnown || ObjectID != SIMCONNECT_OBJECT_ID_USER)) result = E_INVALIDARG;
    if (result == S_OK) {
        for (size_t i = 0; i < c.requests.size(); ++i)
            if (c.requests[i].request == RequestID) c.requests.erase(c.requests.begin() + i--);
        if (Period != SIMCONNECT_PERIOD_NEVER)
            c.requests.push_back(PeriodicRequest{RequestID, DefineID, Period, 0, -1.0, -1e9, {}});
    }
    return Finish(record, hSimConnect, result);
}

SIMCONNECT_EXPORT HRESULT __stdcall SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect,
                                                                      SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                                      const char *SystemEventName) {
    ConnectionLock hold;
    JsonLine record = StartRecord("call");
    record.Str("fn", "SimConnect_SubscribeToSystemEvent").Int("event", EventID);
    record.StrBounded("name", SystemEventName, 256);
    const HRESULT result = SystemEventName == nullptr ? E_POINTER : Result(hSimConnect);
    if (result == S_OK) Connection().subscriptions.push_back(Subscription{EventID, Bounded(SystemEventName)});
    return Finish(record, hSimConnect, result);
}

SIMCONNECT_EXPORT HRESULT __stdcall SimConnect_RequestSystemState(HANDLE hSimConnect,
                                                                  SIMCONNECT_DATA_REQUEST_ID RequestID,
                                                                  const char *szState) {
    ConnectionLock hold;
    ConnectionState &c = Connection();
    JsonLine record = StartRecord("call");
    record.Str("fn", "SimConnect_RequestSystemState").Int("request", RequestID).StrBounded("state", szState, 256);
    HRESULT result = szState == nullptr ? E_POINTER : Result(hSimConnect);
    const std::string state = szState != nullptr ? Bounded(szState) : std::string();
    if (result == S_OK) {
        if (lstrcmpiA(state.c_str(), "AircraftLoaded") == 0)
            QueueSystemState(RequestID, 0, 0.0f, c.aircraftPath.c_str());
        else if (lstrcmpiA(state.c_str(), "DialogMode") == 0)
            QueueSystemState(RequestID, static_cast<DWORD>(c.dialogMode), 0.0f, "");
        else if (lstrcmpiA(state.c_str(), "Sim") == 0)
            QueueSystemState(RequestID, 1, 0.0f, "");
        else if (lstrcmpiA(state.c_str(), "FlightLoaded") == 0)
            QueueSystemState(RequestID, 0, 0.0f, "FLIGHTS\\OTHER\\FLTSIM.FLT");
        else
            result = E_INVALIDARG;
    }
    return Finish(record, hSimConnect, result);
}

SIMCONNECT_EXPORT HRESULT __stdcall SimConnect_SetSystemState(HANDLE hSimConnect, const char *szState, DWORD dwInteger,
                                                              float fFloat, const char *szString) {
    ConnectionLock hold;
    ConnectionState &c = Connection();
    JsonLine record = StartRecord("call");
    record.Str("fn", "SimConnect_SetSystemState").StrBounded("state", szState, 256);
    record.Int("integer", dwInteger).Num("float", fFloat).StrBounded("string", szString, 256);
    HRESULT result = szState == nullptr ? E_POINTER : Result(hSimConnect);
    if (result == S_OK) {
        if (lstrcmpiA(Bounded(szState).c_str(), "DialogMode") == 0)
            c.dialogMode = dwInteger != 0 ? 1 : 0;
        else
            result = E_INVALIDARG;
    }
    record.Int("dialog_mode", c.dialogMode);
    return Finish(record, hSimConnect, result);
}

SIMCONNECT_EXPORT HRESULT __stdcall SimConnect_Text(HANDLE hSimConnect, SIMCONNECT_TEXT_TYPE type, float fTimeSeconds,
                                                    SIMCONNECT_CLIENT_EVENT_ID EventID, DWORD cbUnitSize,
                                                    void *pDataSet) {
    ConnectionLock hold;
    const char *text = static_cast<const char *>(pDataSet);
    // The text is read only as far as the size the client gave, and must end
    // inside it: the simulator copies exactly cbUnitSize bytes.
    size_t length = 0;
    if (text != nullptr)
        while (length < cbUnitSize && text[length] != '\0') ++length;
    const bool terminated = text != nullptr && length < cbUnitSize;
    std::string shown = text != nullptr ? std::string(text, length) : std::string();

    JsonLine record = StartRecord("call");
    record.Str("fn", "SimConnect_Text").Int("type", type).Num("seconds", fTimeSeconds).Int("event", EventID);
    record.Int("size", cbUnitSize).StrBounded("text", text, cbUnitSize).Bool("terminated", terminated);
    HRESULT result = text == nullptr ? E_POINTER : Result(hSimConnect);
    if (result == S_OK && cbUnitSize == 0) result = E_INVALIDARG;
    Finish(record, hSimConnect, result);

    if (result == S_OK) {
        JsonLine shownRecord = StartRecord("text");
        shownRecord.Str("text", shown.c_str()).Int("type", type).Num("seconds", fTimeSeconds).Int("size", cbUnitSize);
        shownRecord.Bool("terminated", terminated);
        WriteRecord(shownRecord);
        ShowText(shown.c_str());
    }
    return result;
}
