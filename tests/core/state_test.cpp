#include <gtest/gtest.h>

#include <string.h>

#include "core/identifiers.h"
#include "core/state.h"

namespace {

// A SIMOBJECT_DATA reply carrying `count` doubles, as the simulator sends it.
struct DataReply {
    SIMCONNECT_RECV_SIMOBJECT_DATA header;
    double extra[5];

    DataReply(DWORD requestId, const double *values, int count) {
        memset(this, 0, sizeof *this);
        header.dwID = SIMCONNECT_RECV_ID_SIMOBJECT_DATA;
        header.dwRequestID = requestId;
        header.dwDefineID = requestId;
        memcpy(&header.dwData, values, count * sizeof(double));
        header.dwSize = SIMCONNECT_SIMOBJECT_DATA_BLOCK_OFFSET + count * sizeof(double);
    }
    DWORD size() const { return header.dwSize; }
};

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAddonState(); }
};

// The records as the module's loading left them, copied before the first test
// of the program runs, whichever tests run and in whatever order.
PushbackRecord pushbackAtLoad;
SimSnapshotRecord snapshotAtLoad;

class RecordsAtLoad : public ::testing::Environment {
public:
    void SetUp() override {
        memcpy(&pushbackAtLoad, &PushbackState, sizeof pushbackAtLoad);
        memcpy(&snapshotAtLoad, &SimSnapshot, sizeof snapshotAtLoad);
    }
};

::testing::Environment *const recordsAtLoad = ::testing::AddGlobalTestEnvironment(new RecordsAtLoad);

TEST(StateAtLoad, SequencerIdleEverythingElseEmpty) {
    EXPECT_EQ(14, pushbackAtLoad.sequenceStep) << "the sequencer must start idle";
    PushbackRecord expected;
    memset(&expected, 0, sizeof expected);
    expected.sequenceStep = 14;
    EXPECT_EQ(0, memcmp(&expected, &pushbackAtLoad, sizeof expected)) << "a field other than sequenceStep is set";
    SimSnapshotRecord zero;
    memset(&zero, 0, sizeof zero);
    EXPECT_EQ(0, memcmp(&zero, &snapshotAtLoad, sizeof zero)) << "the snapshot is not all zero";
}

TEST_F(SnapshotTest, PositionReplyOverwritesAllFourFields) {
    const double position[4] = {0.1, -0.2, 1234.0, 3.0};
    DataReply reply(DEF_POSITION, position, 4);
    UpdateSnapshot(&reply.header, reply.size());
    EXPECT_EQ(0.1, SimSnapshot.latitude);
    EXPECT_EQ(-0.2, SimSnapshot.longitude);
    EXPECT_EQ(1234.0, SimSnapshot.altitude) << "altitude is part of the copied group";
    EXPECT_EQ(3.0, SimSnapshot.heading);
    EXPECT_EQ(0.0, SimSnapshot.onGround) << "a position reply must not touch the next definition";
}

TEST_F(SnapshotTest, EachRequestIdFillsItsOwnFields) {
    const double ground[1] = {1.0};
    const double engines[5] = {2.0, 1.0, 0.0, 1.0, 1.0};
    const double brake[1] = {0.75};
    DataReply groundReply(DEF_ON_GROUND, ground, 1), enginesReply(DEF_ENGINES, engines, 5),
        brakeReply(DEF_BRAKE, brake, 1);
    UpdateSnapshot(&groundReply.header, groundReply.size());
    UpdateSnapshot(&enginesReply.header, enginesReply.size());
    UpdateSnapshot(&brakeReply.header, brakeReply.size());
    EXPECT_TRUE(IsOnGround());
    EXPECT_EQ(2.0, SimSnapshot.numberOfEngines);
    EXPECT_EQ(1.0, SimSnapshot.combustion1);
    EXPECT_EQ(0.0, SimSnapshot.combustion2);
    EXPECT_EQ(1.0, SimSnapshot.combustion4);
    EXPECT_EQ(0.75, SimSnapshot.parkingBrake);
    EXPECT_EQ(0.0, SimSnapshot.latitude) << "no position was sent";
}

TEST_F(SnapshotTest, UnknownRequestIdChangesNothing) {
    const double values[5] = {9.0, 9.0, 9.0, 9.0, 9.0};
    for (DWORD id : {0u, 5u, 6u, 7u, 0xFFFFFFFFu}) {
        DataReply reply(id, values, 5);
        UpdateSnapshot(&reply.header, reply.size());
    }
    SimSnapshotRecord zero = {};
    EXPECT_EQ(0, memcmp(&zero, &SimSnapshot, sizeof zero)) << "a reply with a foreign request id changed the snapshot";
}

TEST_F(SnapshotTest, ReplyShorterThanItsBlockIsIgnored) {
    const double engines[5] = {4.0, 1.0, 1.0, 1.0, 1.0};
    DataReply reply(DEF_ENGINES, engines, 5);
    UpdateSnapshot(&reply.header, reply.size() - 8);
    EXPECT_EQ(0.0, SimSnapshot.numberOfEngines) << "a truncated reply must not be read past its end";
}

TEST_F(SnapshotTest, ParkingBrakeCountsAsSetFromOneUp) {
    SimSnapshot.parkingBrake = 0.5;
    EXPECT_FALSE(IsParkingBrakeSet()) << "0.5 truncates to 0: released";
    SimSnapshot.parkingBrake = 0.999;
    EXPECT_FALSE(IsParkingBrakeSet());
    SimSnapshot.parkingBrake = 1.0;
    EXPECT_TRUE(IsParkingBrakeSet());
}

TEST_F(SnapshotTest, NotOnGroundBeforeAnyData) { EXPECT_FALSE(IsOnGround()); }

}  // namespace
