// What the stand-in SimConnect.dll offers its host program besides the eleven
// SimConnect functions: the host hands over its trace and console, the
// aircraft's state once a frame, and the simulator-side happenings (menu picks,
// aircraft changes, SimStart). Every message for the add-on is queued and
// handed to the add-on's dispatch callback only inside StandIn_Pump, on the
// host's main thread.
#ifndef DROVANA_SIM_STANDIN_H
#define DROVANA_SIM_STANDIN_H

#include "SimConnect.h"

#ifdef DROVANA_STANDIN_BUILD
#define STANDIN_API extern "C" __declspec(dllexport)
#else
#define STANDIN_API extern "C"
#endif

struct StandInHost {
    // Both may be called from any thread; the host serialises them.
    void (*writeTrace)(const char *jsonLine);
    void (*printLine)(const char *consoleLine);
    double (*now)();  // seconds since the run started
    void (*textShown)(const char *text);  // every on-screen text, as shown
};

// The user aircraft as the simulation variables report it.
struct StandInAircraft {
    double latitude;   // radians
    double longitude;  // radians
    double altitude;   // feet
    double heading;    // radians, true, in [0, 2 pi)
    double onGround;   // 0 or 1
    double engineCount;
    double combustion[4];  // 0 or 1 per engine
    double parkingBrake;   // position, 0 released .. 1 set
    double groundSpeed;    // metres per second
    double pushbackState;  // as the simulator reports it: 0 straight, 1 left, 2 right, 3 none
};

// Resolved by the host with GetProcAddress under these names.
typedef void (*StandInAttachFn)(const StandInHost *host);
typedef void (*StandInFailOpenFn)(int fail);
typedef void (*StandInSetAircraftPathFn)(const char *path, int notify);
typedef void (*StandInSendSimStartFn)();
typedef int (*StandInPickMenuFn)(const char *caption);
typedef void (*StandInPumpFn)(const StandInAircraft *aircraft);
typedef int (*StandInDialogModeFn)();
typedef void (*StandInSetOpenDelayFn)(double seconds);
typedef int (*StandInSimStartsSentFn)();
typedef void (*StandInSendExceptionFn)(DWORD exception);
typedef void (*StandInSendForeignDataFn)(DWORD requestId);
typedef void (*StandInSendQuitFn)();

STANDIN_API void StandIn_Attach(const StandInHost *host);
// SimConnect_Open fails with E_FAIL from now on.
STANDIN_API void StandIn_FailOpen(int fail);
// The loaded aircraft's file path, the reply to "AircraftLoaded"; with notify
// the subscribers get the "AircraftLoaded" file-name event as well.
STANDIN_API void StandIn_SetAircraftPath(const char *path, int notify);
// A "SimStart" system event for its subscribers (the first one after the
// connection opens is sent without asking).
STANDIN_API void StandIn_SendSimStart();
// Sends the menu event of the first item with this caption; returns its event
// id, or -1 when no item has that caption.
STANDIN_API int StandIn_PickMenu(const char *caption);
// One visual frame: periodic data for every running request, then every
// queued message, to the dispatch callback.
STANDIN_API void StandIn_Pump(const StandInAircraft *aircraft);
STANDIN_API int StandIn_DialogMode();
// OPEN (and with it everything else) reaches the client this long after it
// registered its dispatch, as when the simulator is still loading a flight.
STANDIN_API void StandIn_SetOpenDelay(double seconds);
// SimStart events queued so far (they are delivered with the next frame).
STANDIN_API int StandIn_SimStartsSent();
// Records the client did not ask for, delivered with the next frame: an
// EXCEPTION about the client's latest call, a SIMOBJECT_DATA for a request id
// it never made, and the QUIT the simulator sends as it goes away.
STANDIN_API void StandIn_SendException(DWORD exception);
STANDIN_API void StandIn_SendForeignData(DWORD requestId);
STANDIN_API void StandIn_SendQuit();
// The dispatch callback the client registered, or null: the frame-cost
// benchmark calls it directly to time the add-on's share of a frame.
STANDIN_API DispatchProc StandIn_RegisteredDispatch();

#endif
