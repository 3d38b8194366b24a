// What the player's window answers to a WM_COPYDATA hand-over, shared by the
// player and the tools that drive it from outside (KestrolaSend, the tests).
// The add-on ignores the answer, so it stays 0 for everything it knew before.
#ifndef KESTROLA_PLAYER_PROTOCOL_H
#define KESTROLA_PLAYER_PROTOCOL_H

#include <windows.h>

// Taken: played, or missing, unreadable, cut to nothing, not a WAVE file.
const LRESULT kHandOverTaken = 0;
// A WAVE file whose format no codec of this machine decodes, or that
// DirectSound refuses: nothing plays and the player stays idle.
const LRESULT kHandOverUndecodable = 2;

#endif
