#include "connection_state.h"

#include <string.h>

#include "../common/json_line.h"

namespace {

ConnectionState *CreateConnection() {
    static ConnectionState state;
    InitializeCriticalSection(&state.lock);
    state.hostAttached = false;
    state.mainThread = 0;
    state.failOpen = false;
    state.open = false;
    state.openDelivered = false;
    state.simStartPending = false;
    state.dispatch = nullptr;
    state.dispatchContext = nullptr;
    state.dispatchRegistered = 0.0;
    state.openDelay = 0.0;
    state.simStartsSent = 0;
    state.lastSendId = 0;
    state.dialogMode = 0;
    memset(&state.aircraft, 0, sizeof state.aircraft);
    return &state;
}

// The value the client receives as its connection handle; only its identity
// matters.
int handleTarget;

const DWORD kProtocolVersion = 2;

}  // namespace

ConnectionState &Connection() {
    static ConnectionState *state = CreateConnection();
    return *state;
}

HANDLE ConnectionHandle() { return &handleTarget; }

double Now() {
    const ConnectionState &c = Connection();
    return c.hostAttached && c.host.now != nullptr ? c.host.now() : 0.0;
}

JsonLine StartRecord(const char *event) {
    JsonLine record(event);
    record.Num("t", Now());
    const DWORD thread = GetCurrentThreadId();
    record.Str("thread", thread == Connection().mainThread ? "main" : "other");
    return record;
}

void WriteRecord(JsonLine &record) {
    const ConnectionState &c = Connection();
    if (c.hostAttached && c.host.writeTrace != nullptr) c.host.writeTrace(record.Finish());
}

void PrintConsole(const char *line) {
    const ConnectionState &c = Connection();
    if (c.hostAttached && c.host.printLine != nullptr) c.host.printLine(line);
}

void QueueMessage(const void *bytes, size_t size, const char *label) {
    const unsigned char *begin = static_cast<const unsigned char *>(bytes);
    Connection().queue.push_back(QueuedMessage{std::vector<unsigned char>(begin, begin + size), label});
}

void QueueEvent(DWORD eventId, DWORD data, const char *label) {
    SIMCONNECT_RECV_EVENT event;
    memset(&event, 0, sizeof event);
    event.dwSize = sizeof event;
    event.dwVersion = kProtocolVersion;
    event.dwID = SIMCONNECT_RECV_ID_EVENT;
    event.uGroupID = SIMCONNECT_UNUSED;
    event.uEventID = eventId;
    event.dwData = data;
    QueueMessage(&event, sizeof event, label);
}

void QueueFileNameEvent(DWORD eventId, const char *fileName, const char *label) {
    SIMCONNECT_RECV_EVENT_FILENAME event;
    memset(&event, 0, sizeof event);
    event.dwSize = sizeof event;
    event.dwVersion = kProtocolVersion;
    event.dwID = SIMCONNECT_RECV_ID_EVENT_FILENAME;
    event.uGroupID = SIMCONNECT_UNUSED;
    event.uEventID = eventId;
    lstrcpynA(event.szFileName, fileName, sizeof event.szFileName);
    QueueMessage(&event, sizeof event, label);
}

void QueueSystemState(DWORD requestId, DWORD integer, float number, const char *text) {
    SIMCONNECT_RECV_SYSTEM_STATE reply;
    memset(&reply, 0, sizeof reply);
    reply.dwSize = sizeof reply;
    reply.dwVersion = kProtocolVersion;
    reply.dwID = SIMCONNECT_RECV_ID_SYSTEM_STATE;
    reply.dwRequestID = requestId;
    reply.dwInteger = integer;
    reply.fFloat = number;
    lstrcpynA(reply.szString, text, sizeof reply.szString);
    QueueMessage(&reply, sizeof reply, "SYSTEM_STATE");
}
