// The add-on's two module-level records. Every handler reads and writes them
// directly; they are shared by the main thread, the dialog thread and the sound
// thread without locks (see the comments on the fields that cross threads).
#ifndef DROVANA_ADDON_CORE_STATE_H
#define DROVANA_ADDON_CORE_STATE_H

#include <windows.h>
#include "SimConnect.h"

enum PushMode { PUSH_NONE = 0, PUSH_LEFT = 1, PUSH_RIGHT = 2, PUSH_STRAIGHT = 3 };
enum RunKind { RUN_MANUAL = 0, RUN_AUTO = 1, RUN_MEASURING = 2 };
enum AutoPhase { PHASE_PUSH_OUT = 0, PHASE_TURNING = 1, PHASE_ROLL_OUT = 3 };

// The checklist's steps in the order a run takes them; the record keeps the
// step as an int, and a step advances by one.
enum SequenceStep {
    SEQUENCE_OPENING_CUE = 0,
    SEQUENCE_BRAKE_SET_PROMPT = 1,
    SEQUENCE_BRAKE_SET_WAIT = 2,  // then the brake-set cue
    SEQUENCE_ENGINES_BEFORE = 3,
    SEQUENCE_RELEASE_CUE = 4,
    SEQUENCE_BRAKE_RELEASE_PROMPT = 5,
    SEQUENCE_BRAKE_RELEASE_WAIT = 6,  // then the pushback cue
    SEQUENCE_START_PUSHBACK = 7,
    SEQUENCE_PUSHBACK = 8,  // the run pushes, turns and stops here
    SEQUENCE_STOPPED_CUE = 9,
    SEQUENCE_BRAKE_AFTER_PROMPT = 10,
    SEQUENCE_BRAKE_AFTER_WAIT = 11,  // then the engines-after prompt
    SEQUENCE_CLOSING_CUE = 12,
    SEQUENCE_END = 13,
    SEQUENCE_IDLE = 14
};
static const int TEXT_SIZE = 256;           // paths, messages, profile values
static const int AIRCRAFT_PATH_SIZE = 260;  // as the simulator sends it
static const int SOUND_SECTION_SIZE = 10;   // nine characters and the NUL

struct PushbackRecord {
    // Connection, paths and identity.
    HANDLE simConnect;
    char setupPath[TEXT_SIZE];
    char configPath[TEXT_SIZE];
    char aircraftPath[AIRCRAFT_PATH_SIZE];
    char aircraftKey[TEXT_SIZE];
    HINSTANCE moduleInstance;

    // Windows.
    HWND simWindow;
    WNDPROC simWindowProc;
    LONG_PTR simWindowHooked;
    HWND playerWindow;      // read by the sound thread
    DWORD playerProcessId;  // the player DLLStart started, 0 when none

    // Pushback control.
    int pushMode;
    int runKind;
    int autoPhase;
    int sequenceStep;
    int pushActive;
    char turnKey;
    int turnAngle;
    int pushDistance;
    double refLatitude;
    double refLongitude;
    double targetHeading;
    UINT_PTR sequenceTimer;
    UINT_PTR measureTimer;
    // The simulator's own pushback state (SimSnapshot.pushbackState) lags a
    // Shift+P by the frame that handles it: position replies counted since
    // the last one sent or seen tell when it can be read again.
    unsigned positionReplies;
    unsigned repliesAtOwnToggle;
    int ownToggleSent;
    // The tag every key the add-on sends carries; keys of an older tag
    // belong to a run or measurement that has ended and are dropped.
    unsigned keyGeneration;
    // STOP was picked: the run ends once the simulator reports no pushback,
    // however many ticks that takes (another program may keep the front).
    int stopRequested;
    // The aircraft whose correction the running measurement finds: a
    // measurement across another aircraft's load is not stored.
    char measuredAircraft[TEXT_SIZE];
    // Another aircraft was loaded under the running measurement (the
    // simulator's notice alone, before a SimStart renews the key): what it
    // measures belongs to neither aircraft and is not stored.
    int measurementDisturbed;
    // The measurement is over, but its pushback could not be stopped yet (the
    // simulator was not in front): each tick tries again.
    int measurementStopPending;
    // The correction is stored and the measurement follows the turn for its
    // radius: the reference point has moved to where the heading first moved,
    // and this was the heading there.
    int measuringRadius;
    double radiusStartHeading;

    // The taxiway push. While the map is asked, taxiwayQuestion holds the
    // question's id; a planned run steers its push and turn on
    // taxiwayTimer, finer than the sequencer's tick, towards the plan's push
    // (metres, less the correction) and targetHeading.
    int taxiwaySide;
    unsigned int taxiwayQuestion;
    int taxiwayWaitTicks;  // ticks the question has waited for its answer
    int taxiwayRun;
    double taxiwayPushMetres;
    UINT_PTR taxiwayTimer;
    int taxiwayShownValue;  // the last "Distance"/"Heading" number shown, so the fine timer shows each once
    // The turn is followed as the heading's whole rotation since the plan was
    // made, summed sample by sample the plan's way round, so a heading that
    // jumps past the line's direction ends it instead of reading as a turn of
    // nearly a full circle still to go.
    double taxiwayTurnDegrees;  // the plan's turn, (0, 180]
    double taxiwayTurned;       // degrees turned the plan's way so far (less when turned back)
    double taxiwayLastHeading;  // degrees, at the last sample

    // Checklist and sound.
    int engineCheckMode;
    int engineCount;
    int engineIndex;
    int engineWaitTicks;
    int brakeReminderTicks;
    int soundOn;
    volatile LONG soundBusy;      // set on the main thread, cleared by the sound thread
    HANDLE soundThread;           // the main thread's to close, once the thread has ended
    volatile LONG soundStopping;  // the module is being stopped: the sound thread ends early
    int engineDoneCued;           // the mode-2 completion cue was requested this run
    char soundSection[SOUND_SECTION_SIZE];

    // Settings dialog. The handle is the main thread's: it is closed once the
    // thread has ended, by the next "Setting" or by DLLStop.
    HANDLE dialogThread;
    volatile LONG dialogClosed;
};

// Latest values of the four data definitions. The fields of a definition lie
// back to back, 8 bytes each, so a reply's data block is copied as it comes.
struct SimSnapshotRecord {
    double latitude;       // radians
    double longitude;      // radians
    double altitude;       // feet, kept only because the group is copied whole
    double heading;        // radians, true
    double pushbackState;  // the simulator's: 0 straight, 1 left, 2 right, 3 none
    double onGround;
    double numberOfEngines;
    double combustion1;
    double combustion2;
    double combustion3;
    double combustion4;
    double parkingBrake;
};

extern PushbackRecord PushbackState;
extern SimSnapshotRecord SimSnapshot;

// Puts both records back to their load-time values: everything zero or empty,
// the sequencer idle, the simulator's pushback off until it says otherwise.
void ResetAddonState();

// Copies one periodic data reply into the snapshot, by its request id. A reply
// shorter than its definition's block changes nothing.
void UpdateSnapshot(const SIMCONNECT_RECV_SIMOBJECT_DATA *data, DWORD messageSize);

// How consumers read the snapshot's values.
bool IsOnGround();
bool IsParkingBrakeSet();
// The simulator reports a pushback (straight or turning).
bool SimPushbackRunning();
// No Shift+P is still on its way to the snapshot: what it reports of the
// pushback already includes the last one the add-on sent or saw pass.
bool SimPushbackSettled();
// Called as the add-on sends a Shift+P and as one reaches the simulator.
void NotePushbackToggle();

#endif
