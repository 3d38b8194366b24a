#include "settings_dialog.h"

#include <stdio.h>
#include <string.h>

#include "../core/config.h"
#include "../core/state.h"
#include "../core/worker_thread.h"
#include "resource.h"

namespace {

const char kDialogModeState[] = "DialogMode";
// Not the dialog's own caption: the dialog is found by its caption.
const char kRefusalCaption[] = "DrovanaX";

// The dialog's texts: 64-byte buffers. No whole number in range is longer.
const int kDialogTextSize = 64;

// The two typed values, named as their labels name them.
struct NumberField {
    const char *label;
    const ConfigNumber *number;
};
const NumberField kDistanceField = {"Distance (m)", &kDistance};
const NumberField kAngleField = {"Angle (deg)", &kHead};

// The check boxes OK stores, named as the pilot sees them.
struct SwitchBox {
    const char *label;
    HWND *control;
    const char *section;
    const ConfigNumber *number;
};

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
bool Refusing;  // a refusal's message box is up; the dialog thread's alone

const SwitchBox kSwitchBoxes[] = {
    {"Set before pushback", &Controls.setBefore, kSectionParking, &kCheck1},
    {"Release before pushback", &Controls.releaseBefore, kSectionParking, &kCheck2},
    {"Set after pushback", &Controls.setAfter, kSectionParking, &kCheck3},
    {"Engine start check", &Controls.engineCheck, kSectionData, &kEngFlag},
    {"Sound ON", &Controls.soundOn, kSectionData, &kWavFlag},
};

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

void ShowNumber(HWND control, const char *section, const ConfigNumber &number) {
    char missing[kDialogTextSize];
    snprintf(missing, sizeof missing, "%d", number.missing);
    ShowText(control, section, number.key, missing);
}

void ShowSwitch(HWND box, const char *section, const ConfigNumber &number) {
    SendMessageA(box, BM_SETCHECK, ReadConfigSwitch(section, number) ? BST_CHECKED : BST_UNCHECKED, 0);
}

// A box over the dialog that the pilot must answer before OK counts again.
void Refuse(HWND dialog, const char *message) {
    // An OK that reaches the dialog while the box is up (a posted command)
    // waits for the box to be answered rather than open a second one.
    Refusing = true;
    MessageBoxA(dialog, message, kRefusalCaption, MB_OK | MB_ICONEXCLAMATION);
    Refusing = false;
}

// The field's whole number, or false after telling the user which field and
// which range, with the field focused and its text selected for retyping.
bool TakeNumber(HWND dialog, HWND control, const NumberField &field, int *value) {
    char text[kDialogTextSize];
    text[0] = '\0';
    const bool fits = GetWindowTextLengthA(control) < kDialogTextSize;
    GetWindowTextA(control, text, sizeof text);
    if (fits && ParseWholeNumber(text, *field.number, value)) return true;

    char message[TEXT_SIZE];
    snprintf(message, sizeof message, "%s must be a whole number from %d to %d.", field.label,
             field.number->minimum, field.number->maximum);
    Refuse(dialog, message);
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    SendMessageA(control, EM_SETSEL, 0, -1);
    return false;
}

// Adds the label to the list of values the file did not take.
void NoteNotSaved(bool written, const char *label, char (&list)[TEXT_SIZE]) {
    if (written) return;
    const size_t used = strlen(list);
    snprintf(list + used, sizeof list - used, "%s%s", used == 0 ? "" : ", ", label);
}

void StoreNumber(const NumberField &field, int value, char (&notSaved)[TEXT_SIZE]) {
    char text[kDialogTextSize];
    snprintf(text, sizeof text, "%d", value);
    NoteNotSaved(WriteConfigText(kSectionData, field.number->key, text), field.label, notSaved);
}

void StoreSwitch(const SwitchBox &box, char (&notSaved)[TEXT_SIZE]) {
    const bool on = SendMessageA(*box.control, BM_GETCHECK, 0, 0) == BST_CHECKED;
    NoteNotSaved(WriteConfigSwitch(box.section, *box.number, on), box.label, notSaved);
}

void ShowSettings(HWND dialog) {
    CenterWindow(dialog);
    FetchControls(dialog);

    // The main thread replaces the key when another aircraft loads; a copy
    // keeps the box and the correction looked up under it the same.
    char aircraftKey[TEXT_SIZE];
    lstrcpynA(aircraftKey, PushbackState.aircraftKey, sizeof aircraftKey);
    SetWindowTextA(Controls.aircraft, aircraftKey);

    ShowNumber(Controls.angle, kSectionData, kHead);
    ShowNumber(Controls.distance, kSectionData, kDistance);
    ShowText(Controls.compensation, kSectionPlaneCorrect, aircraftKey, "0");
    for (const SwitchBox &box : kSwitchBoxes) ShowSwitch(*box.control, box.section, *box.number);
}

// Stores nothing unless both typed values are whole numbers in range: a typo
// ("5O") or a slip ("999999") must not reach the next pushback. Values the
// file does not take (read-only, a folder the pilot may not write) are named,
// and the dialog stays open with them, so nothing the pilot set is lost
// without a word.
bool StoreSettings(HWND dialog) {
    int distance = 0;
    int angle = 0;
    if (!TakeNumber(dialog, Controls.distance, kDistanceField, &distance)) return false;
    if (!TakeNumber(dialog, Controls.angle, kAngleField, &angle)) return false;
    char notSaved[TEXT_SIZE] = "";
    StoreNumber(kDistanceField, distance, notSaved);
    StoreNumber(kAngleField, angle, notSaved);
    for (const SwitchBox &box : kSwitchBoxes) StoreSwitch(box, notSaved);
    if (notSaved[0] == '\0') return true;

    char message[3 * TEXT_SIZE];
    snprintf(message, sizeof message,
             "%s could not be written. Not saved: %s.\n\nOK tries again; CANCEL closes the dialog without saving.",
             PushbackState.configPath, notSaved);
    Refuse(dialog, message);
    return false;
}

// The loop looks at dialogClosed only when a message comes out of the queue.
// A command that arrives as a message sent from another thread is handled
// inside the wait, so a posted no-op makes sure the loop sees the flag.
void CloseDialog(HWND dialog) {
    PushbackState.dialogClosed = 1;
    PostMessageA(dialog, WM_NULL, 0, 0);
}

void EndDialogMode() {
    // The simulator may have stopped the add-on while the dialog was open.
    HANDLE connection = PushbackState.simConnect;
    if (connection != nullptr) SimConnect_SetSystemState(connection, kDialogModeState, 0, 0.0f, nullptr);
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
            if (!Refusing && StoreSettings(dialog)) CloseDialog(dialog);
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
    HWND dialog = CreateDialogParamA(PushbackState.moduleInstance, MAKEINTRESOURCEA(IDD_SETTING),
                                     static_cast<HWND>(owner), SettingDialogProc, 0);
    // With no window nothing could ever close the loop; dialog mode is given
    // back at once so that a later "Setting" can try again.
    if (dialog == nullptr) {
        EndDialogMode();
        EndWorkerThread(0);
        return 0;
    }
    ShowWindow(dialog, SW_SHOW);

    // A quit message does not end the loop: only OK or CANCEL do.
    MSG message;
    do {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got != 0 && got != -1) {
            if (!IsWindow(dialog) || !IsDialogMessageA(dialog, &message)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
    } while (PushbackState.dialogClosed == 0);

    if (IsWindow(dialog)) DestroyWindow(dialog);
    EndDialogMode();
    EndWorkerThread(0);
    return 0;
}

void StartSettingDialog(HWND owner) {
    ForgetEndedThread(&PushbackState.dialogThread);
    if (PushbackState.dialogThread != nullptr) return;  // one dialog at a time
    // Cleared before the thread exists, so a stop that comes at once is
    // never undone by the thread's start.
    PushbackState.dialogClosed = 0;
    PushbackState.dialogThread = StartWorkerThread(SettingDialogThread, owner, 0);
}

namespace {

BOOL CALLBACK CloseThreadWindow(HWND window, LPARAM /*unused*/) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

void EndSettingDialog(DWORD timeoutMs) {
    HANDLE thread = PushbackState.dialogThread;
    if (thread == nullptr) return;
    // Like OK or CANCEL: the loop ends once a message wakes it.
    PushbackState.dialogClosed = 1;
    PostThreadMessageA(GetThreadId(thread), WM_NULL, 0, 0);
    // A refusal's message box runs a modal loop of its own on that thread,
    // which would keep the dialog's loop (and the module) until the pilot
    // answered it: its close box, like the dialog's, ends it without storing.
    EnumThreadWindows(GetThreadId(thread), CloseThreadWindow, 0);
    if (WaitForWorkerThread(thread, timeoutMs)) {
        CloseHandle(thread);
        PushbackState.dialogThread = nullptr;
    }
}
