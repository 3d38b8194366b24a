#include "prompts.h"

#include <stdio.h>

#include "../core/screen_text.h"
#include "../core/state.h"
#include "../sound/sound_request.h"

namespace {

const int kBrakeReminderInterval = 100;  // the prompt returns on the 101st waiting call
const int kEngineCueInterval = 10;       // the engine cue returns every 11th call

struct BrakePrompt {
    const char *text;
    const char *cueSection;
};

const BrakePrompt *BrakePromptOf(int kind) {
    static const BrakePrompt kSetBefore = {"Set Parking Brake!", "PBSound0"};
    static const BrakePrompt kSetAfter = {"Set Parking Brake!", "PBSound2"};
    static const BrakePrompt kReleaseBefore = {"Release Parking Brake!", "PBSound1"};
    switch (kind) {
    case BRAKE_SET_BEFORE:
        return &kSetBefore;
    case BRAKE_SET_AFTER:
        return &kSetAfter;
    case BRAKE_RELEASE_BEFORE:
        return &kReleaseBefore;
    default:
        return nullptr;
    }
}

}  // namespace

void ShowBrakePrompt(int kind) {
    const BrakePrompt *prompt = BrakePromptOf(kind);
    if (prompt == nullptr) return;
    ShowTextInBuffer(prompt->text);
    if (PushbackState.soundOn == 1) StartCue(prompt->cueSection);
}

int WaitForBrake(int kind, int waitState) {
    const int brakeSet = IsParkingBrakeSet() ? 1 : 0;
    if (brakeSet != waitState) return 1;
    PushbackState.brakeReminderTicks += 1;
    if (PushbackState.brakeReminderTicks > kBrakeReminderInterval) {
        ShowBrakePrompt(kind);
        PushbackState.brakeReminderTicks = 0;
    }
    return 0;
}

int IsEngineRunning() {
    switch (PushbackState.engineIndex) {
    case 1:
        return SimSnapshot.combustion1 != 0.0;
    case 2:
        return SimSnapshot.combustion2 != 0.0;
    case 3:
        return SimSnapshot.combustion3 != 0.0;
    case 4:
        return SimSnapshot.combustion4 != 0.0;
    default:
        return 0;
    }
}

void RequestEngineSound() {
    static const char *const kSections[] = {"EngSound0", "EngSound1", "EngSound2", "EngSound3"};
    const int index = PushbackState.engineIndex;
    if (PushbackState.soundOn != 1 || index < 1 || index > 4) return;
    StartCue(kSections[index - 1]);
}

void EnginePrompt(int advance) {
    if (PushbackState.engineIndex == PushbackState.engineCount && IsEngineRunning()) {
        // During the pushback the check is asked again on every tick; the
        // completion cue is heard once per run.
        if (PushbackState.soundOn == 1 && !PushbackState.engineDoneCued) StartCue("EngSound4");
        PushbackState.engineDoneCued = 1;
        if (advance == 1) PushbackState.sequenceStep += 1;
        return;
    }

    ShowFormattedMessage("Start Engine No.  %d", PushbackState.engineIndex);

    if (IsEngineRunning()) {
        PushbackState.engineIndex += 1;
        PushbackState.engineWaitTicks = 0;
        return;
    }
    if (PushbackState.engineWaitTicks == 0) RequestEngineSound();
    if (PushbackState.engineWaitTicks == kEngineCueInterval)
        PushbackState.engineWaitTicks = 0;
    else
        PushbackState.engineWaitTicks += 1;
}
