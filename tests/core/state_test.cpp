#include <gtest/gtest.h>
#include <math.h>

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
    EXPECT_EQ(SEQUENCE_IDLE, pushbackAtLoad.sequenceStep) << "the sequencer must start idle";
    PushbackRecord expected;
    memset(&expected, 0, sizeof expected);
    expected.sequenceStep = SEQUENCE_IDLE;
    EXPECT_EQ(0, memcmp(&expected, &pushbackAtLoad, sizeof expected)) << "a field other than sequenceStep is set";
    SimSnapshotRecord expectedSnapshot;
    memset(&expectedSnapshot, 0, sizeof expectedSnapshot);
    expectedSnapshot.pushbackState = 3.0;  // 0 would be a straight pushback
    EXPECT_EQ(0, memcmp(&expectedSnapshot, &snapshotAtLoad, sizeof expectedSnapshot))
        << "the snapshot must be all zero with no pushback (3)";
}

TEST_F(SnapshotTest, PositionReplyOverwritesAllFiveFields) {
    const double position[5] = {0.1, -0.2, 1234.0, 3.0, 1.0};
    DataReply reply(DEF_POSITION, position, 5);
    UpdateSnapshot(&reply.header, reply.size());
    EXPECT_EQ(0.1, SimSnapshot.latitude);
    EXPECT_EQ(-0.2, SimSnapshot.longitude);
    EXPECT_EQ(1234.0, SimSnapshot.altitude) << "altitude is part of the copied group";
    EXPECT_EQ(3.0, SimSnapshot.heading);
    EXPECT_EQ(1.0, SimSnapshot.pushbackState);
    EXPECT_EQ(0.0, SimSnapshot.onGround) << "a position reply must not touch the next definition";

    // The four-value block of a definition without the pushback state is short.
    const double older[4] = {0.5, 0.5, 10.0, 1.0};
    DataReply shortReply(DEF_POSITION, older, 4);
    UpdateSnapshot(&shortReply.header, shortReply.size());
    EXPECT_EQ(0.1, SimSnapshot.latitude) << "a reply without the pushback state must change nothing";
}

TEST_F(SnapshotTest, OnlyThePushbackValuesCountAsAPushback) {
    // A STOP acts on this: a value no simulator sends must not read as a
    // pushback, or the stop key would start one.
    const struct {
        double reported;
        bool running;
    } cases[] = {{0.0, true},  {1.0, true},   {2.0, true},  {3.0, false},
                 {4.0, false}, {-1.0, false}, {0.5, false}, {NAN, false}};
    for (const auto &c : cases) {
        SimSnapshot.pushbackState = c.reported;
        EXPECT_EQ(c.running, SimPushbackRunning()) << "PUSHBACK STATE " << c.reported;
    }
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
    SimSnapshotRecord untouched = {};
    untouched.pushbackState = 3.0;
    EXPECT_EQ(0, memcmp(&untouched, &SimSnapshot, sizeof untouched))
        << "a reply with a foreign request id changed the snapshot";
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
