// The stand-in's one connection: what the client registered (menu, data
// definitions, requests, subscriptions), the message queue and the host's
// callbacks. Calls arrive on the host's main thread and, for dialog mode, on
// the add-on's dialog thread, so every access holds the lock.
#ifndef DROVANA_SIM_CONNECTION_STATE_H
#define DROVANA_SIM_CONNECTION_STATE_H

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "SimConnect.h"
#include "sim_variables.h"
#include "standin.h"

class JsonLine;

struct MenuItem {
    std::string caption;
    DWORD id;
    DWORD parent;  // SIMCONNECT_UNUSED for a root item
    DWORD data;
};

struct DataItem {
    std::string variable;
    std::string units;
    int datatype;
    VariableBinding binding;
};

struct DataDefinition {
    DWORD id;
    std::vector<DataItem> items;
};

struct PeriodicRequest {
    DWORD request;
    DWORD definition;
    int period;
    long long framesDelivered;
    double lastSecond;  // for SIMCONNECT_PERIOD_SECOND
    double lastTraced;  // data replies go into the trace when they change, once a second at most
    std::vector<double> lastTracedValues;
};

struct Subscription {
    DWORD event;
    std::string name;
};

struct QueuedMessage {
    std::vector<unsigned char> bytes;
    std::string label;  // what the trace calls it: "OPEN", "SimStart", the menu caption, ...
};

struct ConnectionState {
    CRITICAL_SECTION lock;
    StandInHost host;
    bool hostAttached;
    DWORD mainThread;

    bool failOpen;
    bool open;             // Open succeeded and Close not yet called
    bool openDelivered;    // the OPEN message reached the dispatch
    bool simStartPending;  // send the first SimStart after OPEN
    DispatchProc dispatch;
    void *dispatchContext;
    double dispatchRegistered;  // run time of CallDispatch
    double openDelay;           // OPEN waits this long after CallDispatch, as while a flight loads
    int simStartsSent;
    DWORD lastSendId;  // the packet number of the client's latest call

    std::string aircraftPath;
    int dialogMode;
    StandInAircraft aircraft;

    std::vector<MenuItem> menu;
    std::vector<DataDefinition> definitions;
    std::vector<PeriodicRequest> requests;
    std::vector<Subscription> subscriptions;
    std::deque<QueuedMessage> queue;
};

ConnectionState &Connection();
HANDLE ConnectionHandle();

// Scoped hold of the connection lock.
class ConnectionLock {
public:
    ConnectionLock() { EnterCriticalSection(&Connection().lock); }
    ~ConnectionLock() { LeaveCriticalSection(&Connection().lock); }
    ConnectionLock(const ConnectionLock &) = delete;
    ConnectionLock &operator=(const ConnectionLock &) = delete;
};

double Now();
// A record with the time and the calling thread already in it.
JsonLine StartRecord(const char *event);
void WriteRecord(JsonLine &record);
void PrintConsole(const char *line);

// Queue builders; the caller holds the lock.
void QueueMessage(const void *bytes, size_t size, const char *label);
void QueueEvent(DWORD eventId, DWORD data, const char *label);
void QueueFileNameEvent(DWORD eventId, const char *fileName, const char *label);
void QueueSystemState(DWORD requestId, DWORD integer, float number, const char *text);

#endif
