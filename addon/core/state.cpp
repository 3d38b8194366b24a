#include "state.h"

#include <stddef.h>
#include <string.h>

#include "identifiers.h"

PushbackRecord PushbackState = {};
SimSnapshotRecord SimSnapshot = {};

namespace {

// The sequencer must read idle before the first run, so the record cannot be
// all zero at load.
struct IdleAtLoad {
    IdleAtLoad() { PushbackState.sequenceStep = SEQUENCE_IDLE; }
} idleAtLoad;

void CopyBlock(void *destination, const SIMCONNECT_RECV_SIMOBJECT_DATA *data, DWORD messageSize, size_t bytes) {
    const size_t blockStart = SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET;
    if (messageSize < blockStart || messageSize - blockStart < bytes) return;
    memcpy(destination, &data->dwData, bytes);
}

}  // namespace

void ResetAddonState() {
    memset(&PushbackState, 0, sizeof PushbackState);
    memset(&SimSnapshot, 0, sizeof SimSnapshot);
    PushbackState.sequenceStep = SEQUENCE_IDLE;
}

void UpdateSnapshot(const SIMCONNECT_RECV_SIMOBJECT_DATA *data, DWORD messageSize) {
    switch (data->dwRequestID) {
    case DEF_POSITION:
        CopyBlock(&SimSnapshot.latitude, data, messageSize, 4 * sizeof(double));
        break;
    case DEF_ON_GROUND:
        CopyBlock(&SimSnapshot.onGround, data, messageSize, sizeof(double));
        // The simulator ends its pushback when the aircraft leaves the ground.
        if (!IsOnGround()) PushbackState.simPushbackRunning = 0;
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
