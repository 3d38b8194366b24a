#include "player_link.h"

#include "../core/child_program.h"
#include "../core/state.h"

namespace {

const char kPlayerClass[] = "DrovanaSndPlay";
const char kPlayerTitle[] = "DROVANA Sound Play";

}  // namespace

HWND CurrentPlayerWindow(HWND known) {
    if (known != NULL && IsWindow(known)) return known;
    return FindWindowExA(NULL, NULL, kPlayerClass, kPlayerTitle);
}

void EndPlayer() {
    if (PushbackState.playerProcessId != 0) {
        EndProgramWindow(PushbackState.playerProcessId, kPlayerClass, kPlayerTitle);
        return;
    }
    // The window was looked up when the connection opened, which may have been
    // before the player had one; it is looked up again rather than left
    // running. With no window a NULL target would post to this thread.
    HWND player = CurrentPlayerWindow(PushbackState.playerWindow);
    if (player != NULL) PostMessageA(player, WM_DESTROY, 0, 0);
}

void EndStartedPlayer() {
    if (PushbackState.playerProcessId == 0) return;
    EndProgramWindow(PushbackState.playerProcessId, kPlayerClass, kPlayerTitle);
    PushbackState.playerProcessId = 0;
}
