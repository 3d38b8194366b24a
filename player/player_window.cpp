#include "player_window.h"

#include <string.h>

#include "acm_decoder.h"
#include "player_protocol.h"

PlayerState playerState;

namespace {

const int kWindowWidth = 300;
const int kWindowHeight = 100;
const int kTextX = 10;
const int kTextY = 10;
const WORD kApplicationIcon = 32512;

LRESULT PlayReceivedPath(HWND window, const COPYDATASTRUCT *data) {
    bool whole = CopyReceivedPath(data, playerState.currentPath, sizeof(playerState.currentPath));
    InvalidateRect(window, nullptr, TRUE);

    // A cut path names some other file, so only whole ones are looked up.
    if (!whole || playerState.currentPath[0] == '\0') return kHandOverTaken;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(playerState.currentPath, &found);
    if (search == INVALID_HANDLE_VALUE) return kHandOverTaken;
    FindClose(search);

    if (playerState.soundDevice == nullptr) return kHandOverTaken;
    const HRESULT loaded =
        playerState.soundDevice->LoadSound(playerState.currentPath, GUID_NULL, &playerState.currentSound);
    if (playerState.currentSound != nullptr) playerState.currentSound->StartPlayback();
    // The one outcome a sender can do something about: the file needs a
    // codec this machine lacks.
    return (loaded == KESTROLA_E_UNDECODABLE || loaded == DSERR_BADFORMAT) ? kHandOverUndecodable : kHandOverTaken;
}

void PaintPath(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc != nullptr) {
        TextOutA(dc, kTextX, kTextY, playerState.currentPath, static_cast<int>(strlen(playerState.currentPath)));
    }
    EndPaint(window, &paint);
}

}  // namespace

bool CopyReceivedPath(const COPYDATASTRUCT *data, char *path, size_t pathSize) {
    if (path == nullptr || pathSize == 0) return false;
    size_t length = 0;
    bool whole = true;
    if (data != nullptr && data->lpData != nullptr && data->cbData > 0) {
        const char *text = static_cast<const char *>(data->lpData);
        size_t available = data->cbData;
        size_t limit = available < pathSize - 1 ? available : pathSize - 1;
        while (length < limit && text[length] != '\0') ++length;
        memcpy(path, text, length);
        // Stopped short of what was sent: whole only if it stopped at the NUL.
        if (length < available) whole = text[length] == '\0';
    }
    path[length] = '\0';
    return whole;
}

LRESULT PlayerStatus() {
    if (playerState.currentSound == nullptr) return kPlayerIdle;
    return playerState.currentSound->IsAnyBufferPlaying() ? kPlayerPlaying : kPlayerIdle;
}

ATOM RegisterPlayerClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = PlayerWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    // The program carries no icon, so both lookups come back empty.
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kApplicationIcon));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kPlayerWindowClass;
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(kApplicationIcon));
    return RegisterClassExA(&windowClass);
}

HWND CreatePlayerWindow(HINSTANCE instance) {
    return CreateWindowExA(0, kPlayerWindowClass, kPlayerWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                           kWindowWidth, kWindowHeight, nullptr, nullptr, instance, nullptr);
}

LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COPYDATA:
        return PlayReceivedPath(window, reinterpret_cast<const COPYDATASTRUCT *>(lParam));
    case kPlayerStatusQuery:
        return PlayerStatus();
    case WM_PAINT:
        PaintPath(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
