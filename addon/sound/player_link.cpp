#include "player_link.h"

#include "../../player/player_protocol.h"
#include "../core/child_program.h"
#include "../core/connection.h"
#include "../core/state.h"

HWND FindPlayerWindow() { return FindWindowExA(nullptr, nullptr, kPlayerWindowClass, kPlayerWindowTitle); }

HWND CurrentPlayerWindow(HWND known) {
    if (known != nullptr && IsWindow(known)) return known;
    return FindPlayerWindow();
}

void StartPlayer() {
    char commandLine[256];
    FormPlayerCommandLine(commandLine);
    PushbackState.playerProcessId = StartHiddenProgram(commandLine);
}

void EndPlayer() {
    if (PushbackState.playerProcessId != 0) {
        EndProgramWindow(PushbackState.playerProcessId, kPlayerWindowClass, kPlayerWindowTitle);
        return;
    }
    // The window was looked up when the connection opened, which may have been
    // before the player had one; it is looked up again rather than left
    // running. With no window a null target would post to this thread.
    HWND player = CurrentPlayerWindow(PushbackState.playerWindow);
    if (player != nullptr) PostMessageA(player, WM_DESTROY, 0, 0);
}

void EndStartedPlayer() {
    if (PushbackState.playerProcessId == 0) return;
    EndProgramWindow(PushbackState.playerProcessId, kPlayerWindowClass, kPlayerWindowTitle);
    PushbackState.playerProcessId = 0;
}
