// The checklist around a pushback: parking-brake and engine-start prompts.
// Each is called once per sequencer tick and returns at once; waiting is being
// called again at the next tick.
#ifndef DROVANA_ADDON_PUSHBACK_PROMPTS_H
#define DROVANA_ADDON_PUSHBACK_PROMPTS_H

enum BrakePromptKind { BRAKE_SET_BEFORE = 1, BRAKE_SET_AFTER = 2, BRAKE_RELEASE_BEFORE = 3 };

// Shows the kind's text and, with sound cues on, plays its cue.
void ShowBrakePrompt(int kind);

// waitState 0 waits while the brake is released, 1 while it is set. Returns 1
// once the brake has left that state, else 0, repeating the prompt every 101
// waiting calls.
int WaitForBrake(int kind, int waitState);

// 1 when the awaited engine (engineIndex 1 to 4) has combustion.
int IsEngineRunning();

// With sound cues on, the cue asking for the awaited engine's start.
void RequestEngineSound();

// One step of the engine-start check; with advance 1, a complete check moves
// the sequencer on by one step.
void EnginePrompt(int advance);

#endif
