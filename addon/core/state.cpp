#include "state.h"

#include <stddef.h>
#include <string.h>

#include "identifiers.h"

PushbackRecord PushbackState = {};
SimSnapshotRecord SimSnapshot = {};

namespace {

// The sequencer must read idle before the first run, so the record cannot be
// all zero at load.
const double kNoPushback = 3.0;

// The sequencer must read idle before the first run, and the simulator's
// pushback off before its first reply, so the records cannot be all zero at
// load (0 is a straight pushback).
struct IdleAtLoad {
    IdleAtLoad() {
        PushbackState.sequenceStep = SEQUENCE_IDLE;
        SimSnapshot.pushbackState = kNoPushback;
    }
} idleAtLoad;

// A reply must come after the frame that handled the keys: the second one
// after the keys were sent always does.
const unsigned kRepliesToSettle = 2;

bool CopyBlock(void *destination, const SIMCONNECT_RECV_SIMOBJECT_DATA *data, DWORD messageSize, size_t bytes) {
    const size_t blockStart = SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET;
    if (messageSize < blockStart || messageSize - blockStart < bytes) return false;
    memcpy(destination, &data->dwData, bytes);
    return true;
}

}  // namespace

void ResetAddonState() {
    memset(&PushbackState, 0, sizeof PushbackState);
    memset(&SimSnapshot, 0, sizeof SimSnapshot);
    PushbackState.sequenceStep = SEQUENCE_IDLE;
    SimSnapshot.pushbackState = kNoPushback;
}

void UpdateSnapshot(const SIMCONNECT_RECV_SIMOBJECT_DATA *data, DWORD messageSize) {
    switch (data->dwRequestID) {
    case DEF_POSITION:
        if (CopyBlock(&SimSnapshot.latitude, data, messageSize, 5 * sizeof(double))) PushbackState.positionReplies += 1;
        break;
    case DEF_ON_GROUND:
        CopyBlock(&SimSnapshot.onGround, data, messageSize, sizeof(double));
        break;
    case DEF_ENGINES:
        CopyBlock(&SimSnapshot.numberOfEngines, data, messageSize, 5 * sizeof(double));
        break;
    case DEF_BRAKE:
        CopyBlock(&SimSnapshot.parkingBrake, data, messageSize, sizeof(double));
        break;
    default:
        break;
    }
}

bool IsOnGround() { return SimSnapshot.onGround != 0.0; }

bool IsParkingBrakeSet() { return static_cast<int>(SimSnapshot.parkingBrake) != 0; }

bool SimPushbackRunning() {
    // Anything but the three pushback values (3, or a value no simulator
    // sends) is no pushback: a STOP of a pushback that is not there would
    // start one.
    const double state = SimSnapshot.pushbackState;
    return state == 0.0 || state == 1.0 || state == 2.0;
}

bool SimPushbackSettled() {
    return !PushbackState.ownToggleSent ||
           PushbackState.positionReplies - PushbackState.repliesAtOwnToggle >= kRepliesToSettle;
}

void NotePushbackToggle() {
    PushbackState.ownToggleSent = 1;
    PushbackState.repliesAtOwnToggle = PushbackState.positionReplies;
}
