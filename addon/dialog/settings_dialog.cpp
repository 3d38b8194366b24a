#include "settings_dialog.h"

#include "../core/config.h"
#include "../core/state.h"
#include "resource.h"

namespace {

const char kDialogModeState[] = "DialogMode";

// The dialog's texts: 64-byte buffers, of which an edit box gives at most 62
// characters to the file.
const int kDialogTextSize = 64;
const int kStoredTextMax = 62;

// Handles of the controls that show and edit settings, fetched once per dialog.
struct SettingControls {
    HWND aircraft;
    HWND compensation;
    HWND distance;
    HWND angle;
    HWND setBefore;
    HWND releaseBefore;
    HWND setAfter;
    HWND engineCheck;
    HWND soundOn;
};

SettingControls Controls;

void FetchControls(HWND dialog) {
    Controls.aircraft = GetDlgItem(dialog, IDC_AIRCRAFT);
    Controls.compensation = GetDlgItem(dialog, IDC_COMPENSATION);
    Controls.distance = GetDlgItem(dialog, IDC_DISTANCE);
    Controls.angle = GetDlgItem(dialog, IDC_ANGLE);
    Controls.setBefore = GetDlgItem(dialog, IDC_SET_BEFORE);
    Controls.releaseBefore = GetDlgItem(dialog, IDC_RELEASE_BEFORE);
    Controls.setAfter = GetDlgItem(dialog, IDC_SET_AFTER);
    Controls.engineCheck = GetDlgItem(dialog, IDC_ENGINE_CHECK);
    Controls.soundOn = GetDlgItem(dialog, IDC_SOUND_ON);
}

void ShowText(HWND control, const char *section, const char *key, const char *defaultText) {
    char text[kDialogTextSize];
    ReadConfigText(section, key, defaultText, text, sizeof text);
    SetWindowTextA(control, text);
}

void ShowSwitch(HWND box, const char *section, const char *key) {
    SendMessageA(box, BM_SETCHECK, ReadConfigSwitch(section, key) ? BST_CHECKED : BST_UNCHECKED, 0);
}

void StoreText(HWND control, const char *section, const char *key) {
    char text[kDialogTextSize];
    text[0] = '\0';
    GetWindowTextA(control, text, kStoredTextMax + 1);
    WriteConfigText(section, key, text);
}

void StoreSwitch(HWND box, const char *section, const char *key) {
    WriteConfigSwitch(section, key, SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED);
}

void ShowSettings(HWND dialog) {
    CenterWindow(dialog);
    FetchControls(dialog);

    // The main thread replaces the key when another aircraft loads; a copy
    // keeps the box and the correction looked up under it the same.
    char aircraftKey[TEXT_SIZE];
    lstrcpynA(aircraftKey, PushbackState.aircraftKey, sizeof aircraftKey);
    SetWindowTextA(Controls.aircraft, aircraftKey);

    ShowText(Controls.angle, kSectionData, kKeyHead, "90");
    ShowText(Controls.distance, kSectionData, kKeyDistance, "50");
    ShowText(Controls.compensation, kSectionPlaneCorrect, aircraftKey, "0");
    ShowSwitch(Controls.soundOn, kSectionData, kKeyWavFlag);
    ShowSwitch(Controls.engineCheck, kSectionData, kKeyEngFlag);
    ShowSwitch(Controls.setBefore, kSectionParking, kKeyCheck1);
    ShowSwitch(Controls.releaseBefore, kSectionParking, kKeyCheck2);
    ShowSwitch(Controls.setAfter, kSectionParking, kKeyCheck3);
}

void StoreSettings() {
    StoreText(Controls.distance, kSectionData, kKeyDistance);
    StoreText(Controls.angle, kSectionData, kKeyHead);
    StoreSwitch(Controls.setBefore, kSectionParking, kKeyCheck1);
    StoreSwitch(Controls.releaseBefore, kSectionParking, kKeyCheck2);
    StoreSwitch(Controls.setAfter, kSectionParking, kKeyCheck3);
    StoreSwitch(Controls.engineCheck, kSectionData, kKeyEngFlag);
    StoreSwitch(Controls.soundOn, kSectionData, kKeyWavFlag);
}

// The loop looks at dialogClosed only when a message comes out of the queue.
// A command that arrives as a message sent from another thread is handled
// inside the wait, so a posted no-op makes sure the loop sees the flag.
void CloseDialog(HWND dialog) {
    PushbackState.dialogClosed = 1;
    PostMessageA(dialog, WM_NULL, 0, 0);
}

// The handle in dialogThread is this thread's own; nobody else closes it, so
// every dialog would otherwise leave one handle behind.
void EndDialogMode() {
    // The simulator may have stopped the add-on while the dialog was open.
    HANDLE connection = PushbackState.simConnect;
    if (connection != NULL) SimConnect_SetSystemState(connection, kDialogModeState, 0, 0.0f, NULL);
    HANDLE self = PushbackState.dialogThread;
    PushbackState.dialogThread = NULL;
    if (self != NULL) CloseHandle(self);
}

}  // namespace

int CenterWindow(HWND window) {
    RECT desktop;
    RECT frame;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (desktop.right - width) / 2;
    const int y = (desktop.bottom - height) / 2;
    SetWindowPos(window, HWND_TOP, x, y, width, height, SWP_SHOWWINDOW);
    return 0;
}

INT_PTR CALLBACK SettingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
    case WM_INITDIALOG:
        ShowSettings(dialog);
        return TRUE;  // the platform puts the focus on OK, the first tab stop
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            StoreSettings();
            CloseDialog(dialog);
            break;
        case IDCANCEL:  // also Escape and the close box
            CloseDialog(dialog);
            break;
        default:
            break;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

DWORD WINAPI SettingDialogThread(LPVOID owner) {
    PushbackState.dialogClosed = 0;
    HWND dialog = CreateDialogParamA(PushbackState.moduleInstance, MAKEINTRESOURCEA(IDD_SETTING),
                                     static_cast<HWND>(owner), SettingDialogProc, 0);
    // With no window nothing could ever close the loop; dialog mode is given
    // back at once so that a later "Setting" can try again.
    if (dialog == NULL) {
        EndDialogMode();
        return 0;
    }
    ShowWindow(dialog, SW_SHOW);

    // A quit message does not end the loop: only OK or CANCEL do.
    MSG message;
    do {
        const BOOL got = GetMessageA(&message, NULL, 0, 0);
        if (got != 0 && got != -1) {
            if (!IsWindow(dialog) || !IsDialogMessageA(dialog, &message)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
    } while (PushbackState.dialogClosed == 0);

    if (IsWindow(dialog)) DestroyWindow(dialog);
    EndDialogMode();
    return 0;
}
