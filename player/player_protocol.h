// The window messages between the player and whoever drives it: the add-on,
// the stand-in simulator, the tools (KestrolaSend) and the tests. The player's
// window is the protocol's one address, so the texts it is found by are
// written here and nowhere else.
#ifndef KESTROLA_PLAYER_PROTOCOL_H
#define KESTROLA_PLAYER_PROTOCOL_H

#include <windows.h>

// Both must match (FindWindowExA with class and title). Neither may change:
// an add-on and a player of different releases would no longer find each
// other.
const char kPlayerWindowClass[] = "DrovanaSndPlay";
const char kPlayerWindowTitle[] = "DROVANA Sound Play";

// Status query, sent with wParam and lParam 0. A window that cannot be
// reached answers 0 through SendMessage, the answer of a player that plays.
const UINT kPlayerStatusQuery = WM_APP;
const LRESULT kPlayerIdle = 1;     // no sound yet, or its sound has ended
const LRESULT kPlayerPlaying = 0;  // the current sound still plays

// A WM_COPYDATA carries a path to load and play (dwData 0, the path's bytes
// with its NUL). The add-on ignores the answer, so it stays 0 for everything
// it knew before.
// Taken: played, or missing, unreadable, cut to nothing, not a WAVE file.
const LRESULT kHandOverTaken = 0;
// A WAVE file whose format no codec of this machine decodes, or that
// DirectSound refuses: nothing plays and the player stays idle.
const LRESULT kHandOverUndecodable = 2;

// A posted WM_DESTROY ends the player.

#endif
