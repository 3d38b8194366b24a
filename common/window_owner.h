// A window made for an object of ours (the map worker's state, the map
// server, the installer's window state) keeps a pointer to that object in its
// user data from the first message CreateWindowEx sends, so its procedure
// finds the object without a global. Header-only: the add-on, DrovanaMap.exe
// and DrovanaSetup.exe each build it in.
#ifndef DROVANA_COMMON_WINDOW_OWNER_H
#define DROVANA_COMMON_WINDOW_OWNER_H

#include <windows.h>

// Registers the class, or finds it registered by this module already (a
// window an earlier worker made, or a second window of the same program).
inline bool RegisterOwnedClass(const WNDCLASSEXA &windowClass) {
    return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}
inline bool RegisterOwnedClass(const WNDCLASSEXW &windowClass) {
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The object given as CreateWindowEx's last argument; null for the few
// messages that come before WM_NCCREATE. lpCreateParams lies at the same
// place in CREATESTRUCTA and CREATESTRUCTW, and the user data is the same
// value whichever way it is read, so one version serves both kinds of window.
template <typename Owner>
Owner *WindowOwner(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        void *owner = reinterpret_cast<const CREATESTRUCTA *>(lParam)->lpCreateParams;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
        return static_cast<Owner *>(owner);
    }
    return reinterpret_cast<Owner *>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

#endif
