// A run in progress against a stand-in simulator window that records the keys
// the add-on sends; no hook, so the state changes only by the code under test.
#ifndef DROVANA_TESTS_PUSHBACK_RUN_FIXTURE_H
#define DROVANA_TESTS_PUSHBACK_RUN_FIXTURE_H

#include <gtest/gtest.h>

#include "core/state.h"
#include "fake_simconnect.h"
#include "sim_report.h"
#include "sim_window.h"
#include "test_config.h"

class RunFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAddonState();
        fake_simconnect::Reset();
        PushbackState.simConnect = fake_simconnect::Connection();
        config_.Use();
        lstrcpynA(PushbackState.aircraftKey, "Liner", sizeof PushbackState.aircraftKey);
        PushbackState.simWindow = window_.handle();
        SimSnapshot.onGround = 1.0;
        TestSimWindow::Received().clear();
    }
    void TearDown() override {
        PumpUntil([] { return PushbackState.soundBusy == 0; });
        if (PushbackState.sequenceTimer) KillTimer(nullptr, PushbackState.sequenceTimer);
        if (PushbackState.measureTimer) KillTimer(nullptr, PushbackState.measureTimer);
        PumpFor(20);
    }
    // A run as a pushback start leaves it, with a timer that never fires by
    // itself during the test.
    void BeginRun(int runKind, int step) {
        PushbackState.runKind = runKind;
        PushbackState.sequenceStep = step;
        PushbackState.pushMode = PUSH_STRAIGHT;
        PushbackState.pushActive = 1;
        PushbackState.engineIndex = 1;
        PushbackState.turnKey = '1';
        PushbackState.sequenceTimer = SetTimer(nullptr, 0, 600000, nullptr);
        // What the hook would have seen: the start step's Shift+P reached
        // the simulator, and nothing has stopped the pushback since.
        SimReportsPushback(step == SEQUENCE_PUSHBACK);
    }
    // The keys that reached the window once the expected count has arrived,
    // and a little longer so an extra one shows too.
    static std::string KeysAfter(size_t count) {
        PumpUntil([count] { return TestSimWindow::Received().size() >= count; }, 3000);
        PumpFor(80);
        std::string keys = TestSimWindow::Keys();
        TestSimWindow::Received().clear();
        return keys;
    }
    static std::string LastText() {
        const std::vector<std::string> texts = fake_simconnect::Texts();
        return texts.empty() ? std::string() : texts.back();
    }
    TestConfig config_;
    TestSimWindow window_;
};

const char kToggleKeys[] = "+S +P -P +S -S";
const char kRestartKeys[] = "+S +P -P +P -P +S -S";

#endif
