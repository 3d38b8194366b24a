// Keys the scenario presses into the simulator's main window through the
// system's input stream, so they pass the add-on's window hook as a user's do.
#ifndef DROVANA_SIM_USER_KEYS_H
#define DROVANA_SIM_USER_KEYS_H

#include <windows.h>

// A user's press: one input event per frame, so Shift is still held when the
// key-down is handled (Shift down, key down, key up, Shift up).
bool QueueUserKeys(const char *keys);
// All events at once, back to back, as the add-on sends its own keys: by the
// time the key-down is handled, Shift has already been released.
bool SendKeyBurst(HWND window, const char *keys);
// Sends the next queued event, if any; called once a frame.
void StepUserKeys(HWND window);
bool UserKeysPending();

#endif
