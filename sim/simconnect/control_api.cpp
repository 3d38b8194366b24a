// The host's side of the stand-in: simulator happenings become queued
// messages, and the frame pump hands them to the add-on's dispatch on the
// host's main thread, never holding the lock while the add-on runs (its
// handlers call back into SimConnect).
#include <math.h>
#include <string.h>

#include "../common/json_line.h"
#include "connection_state.h"

namespace {

const double kDataTraceInterval = 1.0;

void TraceDelivery(const QueuedMessage &message) {
    const SIMCONNECT_RECV *header = reinterpret_cast<const SIMCONNECT_RECV *>(message.bytes.data());
    JsonLine record = StartRecord("deliver");
    switch (header->dwID) {
    case SIMCONNECT_RECV_ID_OPEN:
        record.Str("msg", "OPEN");
        break;
    case SIMCONNECT_RECV_ID_EVENT: {
        const SIMCONNECT_RECV_EVENT *event = static_cast<const SIMCONNECT_RECV_EVENT *>(header);
        record.Str("msg", "EVENT").Int("event", event->uEventID).Int("data", event->dwData);
        record.Str("label", message.label.c_str());
        break;
    }
    case SIMCONNECT_RECV_ID_EVENT_FILENAME: {
        const SIMCONNECT_RECV_EVENT_FILENAME *event = static_cast<const SIMCONNECT_RECV_EVENT_FILENAME *>(header);
        record.Str("msg", "EVENT_FILENAME").Int("event", event->uEventID);
        record.StrBounded("file", event->szFileName, sizeof event->szFileName).Str("label", message.label.c_str());
        break;
    }
    case SIMCONNECT_RECV_ID_SYSTEM_STATE: {
        const SIMCONNECT_RECV_SYSTEM_STATE *reply = static_cast<const SIMCONNECT_RECV_SYSTEM_STATE *>(header);
        record.Str("msg", "SYSTEM_STATE").Int("request", reply->dwRequestID).Int("integer", reply->dwInteger);
        record.Num("float", reply->fFloat).StrBounded("string", reply->szString, sizeof reply->szString);
        break;
    }
    case SIMCONNECT_RECV_ID_EXCEPTION: {
        const SIMCONNECT_RECV_EXCEPTION *e = static_cast<const SIMCONNECT_RECV_EXCEPTION *>(header);
        record.Str("msg", "EXCEPTION").Int("exception", e->dwException).Int("send_id", e->dwSendID);
        record.Int("index", e->dwIndex);
        break;
    }
    case SIMCONNECT_RECV_ID_QUIT:
        record.Str("msg", "QUIT");
        break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA: {
        const SIMCONNECT_RECV_SIMOBJECT_DATA *data = static_cast<const SIMCONNECT_RECV_SIMOBJECT_DATA *>(header);
        record.Str("msg", "SIMOBJECT_DATA").Int("request", data->dwRequestID).Int("definition", data->dwDefineID);
        break;
    }
    default:
        record.Int("msg_id", header->dwID);
        break;
    }
    record.Int("size", header->dwSize);
    WriteRecord(record);
}

void AppendValue(std::vector<unsigned char> &block, int datatype, double value) {
    unsigned char bytes[8];
    size_t size = 8;
    switch (datatype) {
    case SIMCONNECT_DATATYPE_INT32: {
        const INT32 v = static_cast<INT32>(value);
        memcpy(bytes, &v, size = 4);
        break;
    }
    case SIMCONNECT_DATATYPE_INT64: {
        const INT64 v = static_cast<INT64>(value);
        memcpy(bytes, &v, size = 8);
        break;
    }
    case SIMCONNECT_DATATYPE_FLOAT32: {
        const float v = static_cast<float>(value);
        memcpy(bytes, &v, size = 4);
        break;
    }
    default:
        memcpy(bytes, &value, size = 8);
        break;
    }
    block.insert(block.end(), bytes, bytes + size);
}

const DataDefinition *FindDefinition(DWORD id) {
    for (const DataDefinition &d : Connection().definitions)
        if (d.id == id) return &d;
    return nullptr;
}

bool DueThisFrame(PeriodicRequest &request, double now) {
    switch (request.period) {
    case SIMCONNECT_PERIOD_ONCE:
        return request.framesDelivered == 0;
    case SIMCONNECT_PERIOD_VISUAL_FRAME:
    case SIMCONNECT_PERIOD_SIM_FRAME:
        return true;
    case SIMCONNECT_PERIOD_SECOND:
        if (request.lastSecond >= 0.0 && now - request.lastSecond < 1.0) return false;
        request.lastSecond = now;
        return true;
    default:
        return false;
    }
}

// One SIMOBJECT_DATA message per due request, the values in registration
// order. The caller holds the lock.
void QueueFrameData(std::vector<QueuedMessage> &out) {
    ConnectionState &c = Connection();
    const double now = Now();
    for (PeriodicRequest &request : c.requests) {
        const DataDefinition *definition = FindDefinition(request.definition);
        if (definition == nullptr || !DueThisFrame(request, now)) continue;
        std::vector<double> values;
        std::vector<unsigned char> block;
        for (const DataItem &item : definition->items) {
            const double value = ReadVariable(item.binding, c.aircraft);
            values.push_back(value);
            AppendValue(block, item.datatype, value);
        }
        SIMCONNECT_RECV_SIMOBJECT_DATA header;
        memset(&header, 0, sizeof header);
        const size_t headerSize = SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET;
        header.dwSize = static_cast<DWORD>(headerSize + block.size());
        header.dwVersion = 2;
        header.dwID = SIMCONNECT_RECV_ID_SIMOBJECT_DATA;
        header.dwRequestID = request.request;
        header.dwObjectID = SIMCONNECT_OBJECT_ID_USER;
        header.dwDefineID = request.definition;
        header.dwentrynumber = 1;
        header.dwoutof = 1;
        header.dwDefineCount = static_cast<DWORD>(definition->items.size());
        // A data block shorter than the header's last word still gets a
        // buffer the full layout long, as the simulator's would be.
        QueuedMessage message;
        const size_t total = headerSize + block.size();
        message.bytes.assign(total < sizeof header ? sizeof header : total, 0);
        memcpy(message.bytes.data(), &header, headerSize);
        if (!block.empty()) memcpy(message.bytes.data() + headerSize, block.data(), block.size());
        out.push_back(message);
        ++request.framesDelivered;

        if (request.framesDelivered == 1 ||
            (values != request.lastTracedValues && now - request.lastTraced >= kDataTraceInterval)) {
            JsonLine record = StartRecord("data");
            record.Int("request", request.request).Int("definition", request.definition);
            record.Nums("values", values.data(), static_cast<int>(values.size()));
            record.Int("frames", request.framesDelivered).Int("size", header.dwSize);
            WriteRecord(record);
            request.lastTraced = now;
            request.lastTracedValues = values;
        }
    }
    for (size_t i = 0; i < c.requests.size(); ++i)
        if (c.requests[i].period == SIMCONNECT_PERIOD_ONCE && c.requests[i].framesDelivered > 0)
            c.requests.erase(c.requests.begin() + i--);
}

void QueueSystemEvent(const char *name, const char *fileName) {
    for (const Subscription &s : Connection().subscriptions) {
        if (lstrcmpiA(s.name.c_str(), name) != 0) continue;
        if (fileName != nullptr) {
            QueueFileNameEvent(s.event, fileName, name);
        } else {
            QueueEvent(s.event, 0, name);
            if (lstrcmpiA(name, "SimStart") == 0) ++Connection().simStartsSent;
        }
    }
}

}  // namespace

STANDIN_API void StandIn_Attach(const StandInHost *host) {
    ConnectionLock hold;
    ConnectionState &c = Connection();
    c.host = *host;
    c.hostAttached = true;
    c.mainThread = GetCurrentThreadId();
}

STANDIN_API void StandIn_FailOpen(int fail) {
    ConnectionLock hold;
    Connection().failOpen = fail != 0;
}

STANDIN_API void StandIn_SetAircraftPath(const char *path, int notify) {
    ConnectionLock hold;
    ConnectionState &c = Connection();
    c.aircraftPath = path != nullptr ? path : "";
    if (notify && c.open) QueueSystemEvent("AircraftLoaded", c.aircraftPath.c_str());
}

STANDIN_API void StandIn_SendSimStart() {
    ConnectionLock hold;
    if (Connection().open) QueueSystemEvent("SimStart", nullptr);
}

STANDIN_API int StandIn_PickMenu(const char *caption) {
    ConnectionLock hold;
    ConnectionState &c = Connection();
    int id = -1;
    if (c.open && caption != nullptr) {
        for (const MenuItem &item : c.menu) {
            if (item.caption == caption) {
                id = static_cast<int>(item.id);
                QueueEvent(item.id, item.data, item.caption.c_str());
                break;
            }
        }
    }
    JsonLine record = StartRecord("menu_pick");
    record.Str("caption", caption).Bool("found", id >= 0).Int("id", id);
    WriteRecord(record);
    return id;
}

STANDIN_API void StandIn_SetOpenDelay(double seconds) {
    ConnectionLock hold;
    Connection().openDelay = seconds;
}

STANDIN_API int StandIn_SimStartsSent() {
    ConnectionLock hold;
    return Connection().simStartsSent;
}

STANDIN_API void StandIn_SendException(DWORD exception) {
    ConnectionLock hold;
    ConnectionState &c = Connection();
    if (!c.open) return;
    SIMCONNECT_RECV_EXCEPTION record;
    memset(&record, 0, sizeof record);
    record.dwSize = sizeof record;
    record.dwVersion = 2;
    record.dwID = SIMCONNECT_RECV_ID_EXCEPTION;
    record.dwException = exception;
    record.dwSendID = c.lastSendId;
    record.dwIndex = 1;
    QueueMessage(&record, sizeof record, "EXCEPTION");
}

STANDIN_API void StandIn_SendForeignData(DWORD requestId) {
    ConnectionLock hold;
    ConnectionState &c = Connection();
    if (!c.open) return;
    // Laid out like a reply to the position request, values that no aircraft
    // has: whoever copies it by mistake shows it at once.
    const double values[4] = {1.0e6, -1.0e6, -99999.0, 1.0e6};
    std::vector<unsigned char> bytes(SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET + sizeof values, 0);
    SIMCONNECT_RECV_SIMOBJECT_DATA header;
    memset(&header, 0, sizeof header);
    header.dwSize = static_cast<DWORD>(bytes.size());
    header.dwVersion = 2;
    header.dwID = SIMCONNECT_RECV_ID_SIMOBJECT_DATA;
    header.dwRequestID = requestId;
    header.dwObjectID = SIMCONNECT_OBJECT_ID_USER;
    header.dwDefineID = requestId;
    header.dwentrynumber = 1;
    header.dwoutof = 1;
    header.dwDefineCount = 4;
    memcpy(bytes.data(), &header, SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET);
    memcpy(bytes.data() + SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET, values, sizeof values);
    QueueMessage(bytes.data(), bytes.size(), "foreign data");
}

STANDIN_API void StandIn_SendQuit() {
    ConnectionLock hold;
    if (!Connection().open) return;
    SIMCONNECT_RECV quit;
    quit.dwSize = sizeof quit;
    quit.dwVersion = 2;
    quit.dwID = SIMCONNECT_RECV_ID_QUIT;
    QueueMessage(&quit, sizeof quit, "QUIT");
}

STANDIN_API DispatchProc StandIn_RegisteredDispatch() {
    ConnectionLock hold;
    return Connection().dispatch;
}

STANDIN_API int StandIn_DialogMode() {
    ConnectionLock hold;
    return Connection().dialogMode;
}

STANDIN_API void StandIn_Pump(const StandInAircraft *aircraft) {
    ConnectionState &c = Connection();
    std::vector<QueuedMessage> batch;
    DispatchProc dispatch = nullptr;
    void *context = nullptr;
    {
        ConnectionLock hold;
        if (aircraft != nullptr) c.aircraft = *aircraft;
        // Nothing reaches the client before it has registered its dispatch.
        if (!c.open || c.dispatch == nullptr) return;
        if (!c.openDelivered && Now() < c.dispatchRegistered + c.openDelay) return;
        if (c.simStartPending) {
            c.simStartPending = false;
            QueueSystemEvent("AircraftLoaded", c.aircraftPath.c_str());
            QueueSystemEvent("SimStart", nullptr);
        }
        batch.assign(c.queue.begin(), c.queue.end());
        c.queue.clear();
        QueueFrameData(batch);
        dispatch = c.dispatch;
        context = c.dispatchContext;
    }
    for (QueuedMessage &message : batch) {
        SIMCONNECT_RECV *header = reinterpret_cast<SIMCONNECT_RECV *>(message.bytes.data());
        // The periodic replies (60 a second each) go into the trace as `data`
        // records; only one the client never asked for is written here.
        if (header->dwID != SIMCONNECT_RECV_ID_SIMOBJECT_DATA || !message.label.empty()) TraceDelivery(message);
        {
            // A Close from inside an earlier handler ends delivery at once.
            ConnectionLock hold;
            if (!c.open) break;
        }
        dispatch(header, header->dwSize, context);
        if (header->dwID == SIMCONNECT_RECV_ID_OPEN) {
            ConnectionLock hold;
            if (!c.openDelivered) {
                c.openDelivered = true;
                c.simStartPending = true;
            }
        }
    }
}
