// The SimConnect client interface of the flight simulator, as far as DrovanaX
// uses it: the eleven functions, the received-message layouts and the constants.
// Written from the published API; layouts match the simulator's, byte for byte.
#ifndef DROVANA_SDK_SIMCONNECT_H
#define DROVANA_SDK_SIMCONNECT_H

#include <windows.h>

typedef DWORD SIMCONNECT_CLIENT_EVENT_ID;
typedef DWORD SIMCONNECT_DATA_DEFINITION_ID;
typedef DWORD SIMCONNECT_DATA_REQUEST_ID;
typedef DWORD SIMCONNECT_OBJECT_ID;
typedef DWORD SIMCONNECT_DATA_REQUEST_FLAG;

static const DWORD SIMCONNECT_UNUSED = 0xFFFFFFFFu;
static const SIMCONNECT_OBJECT_ID SIMCONNECT_OBJECT_ID_USER = 0;

enum SIMCONNECT_DATATYPE {
    SIMCONNECT_DATATYPE_INVALID = 0,
    SIMCONNECT_DATATYPE_INT32 = 1,
    SIMCONNECT_DATATYPE_INT64 = 2,
    SIMCONNECT_DATATYPE_FLOAT32 = 3,
    SIMCONNECT_DATATYPE_FLOAT64 = 4
};

enum SIMCONNECT_PERIOD {
    SIMCONNECT_PERIOD_NEVER = 0,
    SIMCONNECT_PERIOD_ONCE = 1,
    SIMCONNECT_PERIOD_VISUAL_FRAME = 2,
    SIMCONNECT_PERIOD_SIM_FRAME = 3,
    SIMCONNECT_PERIOD_SECOND = 4
};

enum SIMCONNECT_TEXT_TYPE {
    SIMCONNECT_TEXT_TYPE_SCROLL_BLACK = 0,
    SIMCONNECT_TEXT_TYPE_PRINT_BLACK = 0x100,
    SIMCONNECT_TEXT_TYPE_PRINT_WHITE = 0x101,
    SIMCONNECT_TEXT_TYPE_PRINT_RED = 0x102
};

enum SIMCONNECT_RECV_ID {
    SIMCONNECT_RECV_ID_NULL = 0,
    SIMCONNECT_RECV_ID_EXCEPTION = 1,
    SIMCONNECT_RECV_ID_OPEN = 2,
    SIMCONNECT_RECV_ID_QUIT = 3,
    SIMCONNECT_RECV_ID_EVENT = 4,
    SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE = 5,
    SIMCONNECT_RECV_ID_EVENT_FILENAME = 6,
    SIMCONNECT_RECV_ID_EVENT_FRAME = 7,
    SIMCONNECT_RECV_ID_SIMOBJECT_DATA = 8,
    SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE = 9,
    SIMCONNECT_RECV_ID_SYSTEM_STATE = 15
};

#pragma pack(push, 1)

struct SIMCONNECT_RECV {
    DWORD dwSize;
    DWORD dwVersion;
    DWORD dwID;
};

// The simulator's answer to a call it could not carry out: dwSendID names
// the call (the packet it came in), dwIndex the argument at fault.
struct SIMCONNECT_RECV_EXCEPTION : SIMCONNECT_RECV {
    DWORD dwException;
    DWORD dwSendID;
    DWORD dwIndex;
};

struct SIMCONNECT_RECV_OPEN : SIMCONNECT_RECV {
    char szApplicationName[256];
    DWORD dwApplicationVersionMajor;
    DWORD dwApplicationVersionMinor;
    DWORD dwApplicationBuildMajor;
    DWORD dwApplicationBuildMinor;
    DWORD dwSimConnectVersionMajor;
    DWORD dwSimConnectVersionMinor;
    DWORD dwSimConnectBuildMajor;
    DWORD dwSimConnectBuildMinor;
    DWORD dwReserved1;
    DWORD dwReserved2;
};

struct SIMCONNECT_RECV_EVENT : SIMCONNECT_RECV {
    DWORD uGroupID;
    DWORD uEventID;
    DWORD dwData;
};

struct SIMCONNECT_RECV_EVENT_FILENAME : SIMCONNECT_RECV_EVENT {
    char szFileName[MAX_PATH];
    DWORD dwFlags;
};

struct SIMCONNECT_RECV_SIMOBJECT_DATA : SIMCONNECT_RECV {
    DWORD dwRequestID;
    DWORD dwObjectID;
    DWORD dwDefineID;
    DWORD dwFlags;
    DWORD dwentrynumber;
    DWORD dwoutof;
    DWORD dwDefineCount;
    DWORD dwData;  // first word of the data block, which runs on past the struct
};

struct SIMCONNECT_RECV_SYSTEM_STATE : SIMCONNECT_RECV {
    DWORD dwRequestID;
    DWORD dwInteger;
    float fFloat;
    char szString[MAX_PATH];
};

#pragma pack(pop)

// Bytes of a SIMOBJECT_DATA message before its data block.
static const DWORD SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET = sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA) - sizeof(DWORD);

// The simulator lays its records out byte for byte like this. Every field is a
// 4-byte value or text, so a 64-bit client sees the same sizes and offsets.
static_assert(sizeof(SIMCONNECT_RECV) == 12, "SIMCONNECT_RECV header");
static_assert(sizeof(SIMCONNECT_RECV_EXCEPTION) == 24, "SIMCONNECT_RECV_EXCEPTION");
static_assert(sizeof(SIMCONNECT_RECV_OPEN) == 308, "SIMCONNECT_RECV_OPEN");
static_assert(sizeof(SIMCONNECT_RECV_EVENT) == 24, "SIMCONNECT_RECV_EVENT: uEventID at 16");
static_assert(sizeof(SIMCONNECT_RECV_EVENT_FILENAME) == 288, "SIMCONNECT_RECV_EVENT_FILENAME");
static_assert(SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET == 40, "SIMOBJECT_DATA: the data block at 40");
static_assert(sizeof(SIMCONNECT_RECV_SYSTEM_STATE) == 284, "SIMCONNECT_RECV_SYSTEM_STATE: szString at 24");

typedef void(CALLBACK *DispatchProc)(SIMCONNECT_RECV *pData, DWORD cbData, void *pContext);

extern "C" {
HRESULT __stdcall SimConnect_Open(HANDLE *phSimConnect, LPCSTR szName, HWND hWnd, DWORD UserEventWin32,
                                  HANDLE hEventHandle, DWORD ConfigIndex);
HRESULT __stdcall SimConnect_Close(HANDLE hSimConnect);
HRESULT __stdcall SimConnect_CallDispatch(HANDLE hSimConnect, DispatchProc pfcnDispatch, void *pContext);
HRESULT __stdcall SimConnect_MenuAddItem(HANDLE hSimConnect, const char *szMenuItem,
                                         SIMCONNECT_CLIENT_EVENT_ID MenuEventID, DWORD dwData);
HRESULT __stdcall SimConnect_MenuAddSubItem(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID MenuEventID,
                                            const char *szMenuItem, SIMCONNECT_CLIENT_EVENT_ID SubMenuEventID,
                                            DWORD dwData);
HRESULT __stdcall SimConnect_AddToDataDefinition(HANDLE hSimConnect, SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                 const char *DatumName, const char *UnitsName,
                                                 SIMCONNECT_DATATYPE DatumType, float fEpsilon, DWORD DatumID);
HRESULT __stdcall SimConnect_RequestDataOnSimObject(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                                    SIMCONNECT_DATA_DEFINITION_ID DefineID,
                                                    SIMCONNECT_OBJECT_ID ObjectID, SIMCONNECT_PERIOD Period,
                                                    SIMCONNECT_DATA_REQUEST_FLAG Flags, DWORD origin, DWORD interval,
                                                    DWORD limit);
HRESULT __stdcall SimConnect_SubscribeToSystemEvent(HANDLE hSimConnect, SIMCONNECT_CLIENT_EVENT_ID EventID,
                                                    const char *SystemEventName);
HRESULT __stdcall SimConnect_RequestSystemState(HANDLE hSimConnect, SIMCONNECT_DATA_REQUEST_ID RequestID,
                                                const char *szState);
HRESULT __stdcall SimConnect_SetSystemState(HANDLE hSimConnect, const char *szState, DWORD dwInteger, float fFloat,
                                            const char *szString);
HRESULT __stdcall SimConnect_Text(HANDLE hSimConnect, SIMCONNECT_TEXT_TYPE type, float fTimeSeconds,
                                  SIMCONNECT_CLIENT_EVENT_ID EventID, DWORD cbUnitSize, void *pDataSet);
}

#endif
