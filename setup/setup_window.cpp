#include "setup_window.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "../common/window_owner.h"
#include "report_text.h"
#include "setup_exit.h"

const wchar_t kSetupWindowClass[] = L"DrovanaSetupWindow";

namespace {

// In pixels at 96 DPI; Px makes them the window's own.
const int kWidth = 600;       // client area
const int kMargin = 12;
const int kRowHeight = 24;
const int kButtonWidth = 96;
const int kButtonHeight = 28;
const int kResultsHeight = 170;
// WM_DPICHANGED (Windows 8.1 on), which the headers give only to newer targets.
const UINT kDpiChanged = 0x02E0;
// Posted by the job's thread when it has finished; lParam is its JobRun.
const UINT kJobDone = WM_APP + 1;

struct WindowState {
    const SetupOptions *options;
    FoundEdition targets[kMaxEditions];
    int count;
    SetupJob job;
    void *context;
    const LanguageChoice *languages;
    HWND languageList;
    HWND window;
    UINT dpi;                  // of the monitor the window is on
    HFONT font;
    HWND boxes[kMaxEditions];
    HWND browse;
    HWND results;
    HWND install;
    HWND remove;
    HWND cancel;
    bool ran;
    int code;
    HANDLE worker;             // the job's thread while it runs
    volatile LONG cancelled;   // Cancel pressed while it runs
};

// One job on its thread: what it was given and what it gave back.
struct JobRun {
    WindowState *state;
    bool uninstall;
    FoundEdition ticked[kMaxEditions];
    int count;
    std::string report;
    int code;
};

DWORD WINAPI RunJobThread(void *parameter) {
    JobRun *run = static_cast<JobRun *>(parameter);
    WindowState *state = run->state;
    run->code = state->job(state->context, run->uninstall, run->ticked, run->count, &run->report, &state->cancelled);
    PostMessageW(state->window, kJobDone, 0, reinterpret_cast<LPARAM>(run));
    return 0;
}

int Px(const WindowState *state, int pixelsAt96) { return MulDiv(pixelsAt96, static_cast<int>(state->dpi), 96); }

// GetDpiForWindow where Windows has it (10, version 1607 on), else the
// system's DPI, which is every monitor's before that.
UINT DpiOf(HWND window) {
    typedef UINT(WINAPI * DpiForWindow)(HWND);
    const DpiForWindow forWindow =
        reinterpret_cast<DpiForWindow>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"),
                                                                                   "GetDpiForWindow")));
    if (forWindow != nullptr && forWindow(window) != 0) return forWindow(window);
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// The system's message font, which it gives at the system's DPI, at this DPI.
HFONT MessageFont(UINT dpi) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                            static_cast<int>(DpiOf(nullptr)));
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

// Every control from the window's old DPI (state->dpi) to its new one.
struct Rescale {
    HFONT font;
    int from;
    int to;
};

BOOL CALLBACK RescaleChild(HWND child, LPARAM parameter) {
    const Rescale &r = *reinterpret_cast<const Rescale *>(parameter);
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT *>(&rect), 2);
    MoveWindow(child, MulDiv(rect.left, r.to, r.from), MulDiv(rect.top, r.to, r.from),
               MulDiv(rect.right - rect.left, r.to, r.from), MulDiv(rect.bottom - rect.top, r.to, r.from), FALSE);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(r.font), FALSE);
    return TRUE;
}

// The window moved to a monitor of another DPI: every control and the font
// take the new scale, and the window the size Windows suggests.
void ChangeDpi(WindowState *state, UINT dpi, const RECT *suggested) {
    const Rescale rescale = {MessageFont(dpi), static_cast<int>(state->dpi), static_cast<int>(dpi)};
    EnumChildWindows(state->window, RescaleChild, reinterpret_cast<LPARAM>(&rescale));
    DeleteObject(state->font);
    state->font = rescale.font;
    state->dpi = dpi;
    SetWindowPos(state->window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(state->window, nullptr, TRUE);
}

// An edit control shows only CR LF as a line break.
std::wstring WithCrLf(const std::wstring &text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\n') out += L'\r';
        out += c;
    }
    return out;
}

std::wstring EditionLabel(const FoundEdition &target) {
    return Wide(target.edition->name) + L"  \u2013  " + Wide(target.folder);
}

HWND Control(WindowState *state, const wchar_t *kind, const wchar_t *text, DWORD style, int id, int x, int y,
             int width, int height) {
    HWND control = CreateWindowExW(0, kind, text, WS_CHILD | WS_VISIBLE | style, Px(state, x), Px(state, y),
                                   Px(state, width), Px(state, height), state->window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);
    return control;
}

// One row each, top to bottom; returns the next row's top.
int AddHeaderRow(WindowState *state, int y) {
    const wchar_t *text = state->count > 0
                              ? L"DrovanaX Setup found these simulators. Tick each one DrovanaX is to be installed "
                                L"in or removed from:"
                              : L"No simulator was found in the registry. Choose the simulator's folder (the one "
                                L"with fsx.exe or Prepar3D.exe):";
    Control(state, L"STATIC", text, SS_LEFT, -1, kMargin, y, kWidth - 2 * kMargin, 2 * kRowHeight - 8);
    return y + 2 * kRowHeight;
}

int AddEditionRows(WindowState *state, int y) {
    for (int i = 0; i < kMaxEditions; ++i) {
        // A box past the editions found stays hidden until a browse fills it.
        const bool shown = i < state->count;
        state->boxes[i] = Control(state, L"BUTTON", shown ? EditionLabel(state->targets[i]).c_str() : L"",
                                  BS_AUTOCHECKBOX | WS_TABSTOP, IDC_SETUP_FIRST_EDITION + i, kMargin, y,
                                  kWidth - 2 * kMargin, kRowHeight);
        if (shown) {
            SendMessageW(state->boxes[i], BM_SETCHECK, BST_CHECKED, 0);
            y += kRowHeight;
        } else {
            ShowWindow(state->boxes[i], SW_HIDE);
        }
    }
    if (state->count > 0) return y + kRowHeight / 2;
    // Nothing found: the browse button, and the box its folder will fill.
    state->browse = Control(state, L"BUTTON", L"Browse...", BS_PUSHBUTTON | WS_TABSTOP, IDC_SETUP_BROWSE, kMargin, y,
                            kButtonWidth, kButtonHeight);
    SetWindowPos(state->boxes[0], nullptr, Px(state, kMargin), Px(state, y + kButtonHeight + 4), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    return y + kButtonHeight + kRowHeight + 12;
}

int AddLanguageRow(WindowState *state, int y) {
    if (state->languages == nullptr || state->languages->list->count == 0) return y;
    const int labelWidth = 170;
    Control(state, L"STATIC", L"Voice cues in this language:", SS_LEFT, -1, kMargin, y + 4, labelWidth, kRowHeight);
    // A drop-down list's height includes its open list.
    state->languageList = Control(state, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                                  IDC_SETUP_LANGUAGE, kMargin + labelWidth, y, 220, 12 * kRowHeight);
    const CueLanguageList &list = *state->languages->list;
    for (int i = 0; i < list.count; ++i)
        SendMessageW(state->languageList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(list.languages[i].name));
    SendMessageW(state->languageList, CB_SETCURSEL, static_cast<WPARAM>(state->languages->preselected), 0);
    return y + kRowHeight + kRowHeight / 2;
}

int AddResultsRow(WindowState *state, int y) {
    state->results = Control(state, L"EDIT", L"",
                             ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP,
                             IDC_SETUP_RESULTS, kMargin, y, kWidth - 2 * kMargin, kResultsHeight);
    return y + kResultsHeight + kMargin;
}

int AddButtonRow(WindowState *state, int y) {
    int x = kWidth - kMargin - 3 * kButtonWidth - 2 * 8;
    const bool removing = state->options->uninstall;
    state->install = Control(state, L"BUTTON", L"Install", (removing ? BS_PUSHBUTTON : BS_DEFPUSHBUTTON) | WS_TABSTOP,
                             IDC_SETUP_INSTALL, x, y, kButtonWidth, kButtonHeight);
    x += kButtonWidth + 8;
    state->remove = Control(state, L"BUTTON", L"Remove", (removing ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP,
                            IDC_SETUP_REMOVE, x, y, kButtonWidth, kButtonHeight);
    x += kButtonWidth + 8;
    state->cancel = Control(state, L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, IDC_SETUP_CANCEL, x, y,
                            kButtonWidth, kButtonHeight);
    return y + kButtonHeight + kMargin;
}

// The window's rows in order; the client height follows from them.
void LayoutWindow(WindowState *state) {
    int y = kMargin;
    y = AddHeaderRow(state, y);
    y = AddEditionRows(state, y);
    y = AddLanguageRow(state, y);
    y = AddResultsRow(state, y);
    y = AddButtonRow(state, y);
    RECT frame = {0, 0, Px(state, kWidth), Px(state, y)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(state->window, GWL_STYLE)), FALSE, 0);
    SetWindowPos(state->window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    SetFocus(state->options->uninstall ? state->remove : state->install);
}

void Browse(WindowState *state) {
    BROWSEINFOW browse = {};
    browse.hwndOwner = state->window;
    browse.lpszTitle = L"The simulator's folder (the one with fsx.exe or Prepar3D.exe)";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    LPITEMIDLIST picked = SHBrowseForFolderW(&browse);
    if (picked == nullptr) return;
    wchar_t wide[MAX_PATH];
    char folder[MAX_PATH];
    const bool named = SHGetPathFromIDListW(picked, wide) &&
                       WideCharToMultiByte(CP_ACP, 0, wide, -1, folder, sizeof(folder), nullptr, nullptr) > 0;
    CoTaskMemFree(picked);
    FoundEdition target;
    // The program in the folder tells the simulator where the registry does not.
    if (!named || !EditionOfFolder(folder, nullptr, &target)) {
        SetWindowTextW(state->results, L"That folder cannot be used: choose the simulator's folder.");
        return;
    }
    state->targets[0] = target;
    state->count = 1;
    SetWindowTextW(state->boxes[0], EditionLabel(target).c_str());
    SendMessageW(state->boxes[0], BM_SETCHECK, BST_CHECKED, 0);
    ShowWindow(state->boxes[0], SW_SHOW);
}

// The job runs on a thread of its own, so the window keeps answering while
// it runs and waits for the administrator's prompt; Cancel stays pressable
// and is honoured if it comes before anything has changed.
void RunJob(WindowState *state, bool uninstall) {
    JobRun *run = new JobRun();
    run->state = state;
    run->uninstall = uninstall;
    for (int i = 0; i < state->count; ++i) {
        if (SendMessageW(state->boxes[i], BM_GETCHECK, 0, 0) == BST_CHECKED) run->ticked[run->count++] = state->targets[i];
    }
    if (run->count == 0) {
        delete run;
        SetWindowTextW(state->results, state->count ? L"Tick at least one simulator." : L"Choose the simulator's "
                                                                                        L"folder first.");
        return;
    }
    for (HWND control : {state->install, state->remove, state->browse, state->languageList}) {
        if (control) EnableWindow(control, FALSE);
    }
    for (int i = 0; i < kMaxEditions; ++i) EnableWindow(state->boxes[i], FALSE);
    if (state->languageList) {
        const LRESULT picked = SendMessageW(state->languageList, CB_GETCURSEL, 0, 0);
        const CueLanguageList &list = *state->languages->list;
        if (!uninstall && picked >= 0 && picked < list.count)
            lstrcpynA(state->languages->chosen, list.languages[picked].code,
                      static_cast<int>(state->languages->chosenSize));
    }
    SetWindowTextW(state->results, uninstall ? L"Removing..." : L"Installing...");
    state->cancelled = 0;
    state->worker = CreateThread(nullptr, 0, RunJobThread, run, 0, nullptr);
    if (state->worker == nullptr) {
        run->code = SETUP_WRITE_FAILED;
        run->report = "The job could not be started.";
        PostMessageW(state->window, kJobDone, 0, reinterpret_cast<LPARAM>(run));
    }
}

void FinishJob(WindowState *state, JobRun *run) {
    if (state->worker != nullptr) {
        WaitForSingleObject(state->worker, INFINITE);
        CloseHandle(state->worker);
        state->worker = nullptr;
    }
    state->code = run->code;
    state->ran = true;
    SetWindowTextW(state->results, WithCrLf(Wide(run->report.c_str())).c_str());
    delete run;
    SetWindowTextW(state->cancel, L"Close");
    EnableWindow(state->cancel, TRUE);
    SetFocus(state->cancel);
}

// Cancel while the job runs: it stops before anything changes, or, past
// that point, finishes and says what it did.
void AskToCancel(WindowState *state) {
    InterlockedExchange(&state->cancelled, 1);
    EnableWindow(state->cancel, FALSE);
    SetWindowTextW(state->results, L"Cancelling...");
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowState *state = WindowOwner<WindowState>(window, message, lParam);
    switch (message) {
    case WM_CREATE: {
        state->window = window;
        state->dpi = DpiOf(window);
        state->font = MessageFont(state->dpi);
        LayoutWindow(state);
        return 0;
    }
    case WM_COMMAND:
        if (state == nullptr || HIWORD(wParam) != BN_CLICKED) break;
        switch (LOWORD(wParam)) {
        case IDOK:  // Enter: the default button, or Close once the job has run
            if (state->ran)
                DestroyWindow(window);
            else if (state->worker == nullptr)
                RunJob(state, state->options->uninstall);
            return 0;
        case IDC_SETUP_INSTALL:
            RunJob(state, false);
            return 0;
        case IDC_SETUP_REMOVE:
            RunJob(state, true);
            return 0;
        case IDC_SETUP_BROWSE:
            Browse(state);
            return 0;
        case IDC_SETUP_CANCEL:
            if (state->worker != nullptr)
                AskToCancel(state);
            else
                DestroyWindow(window);
            return 0;
        }
        break;
    case kDpiChanged:
        if (state != nullptr) ChangeDpi(state, LOWORD(wParam), reinterpret_cast<const RECT *>(lParam));
        return 0;
    case kJobDone:
        if (state != nullptr) FinishJob(state, reinterpret_cast<JobRun *>(lParam));
        return 0;
    case WM_CLOSE:
        // The job's result must not be lost: closing while it runs cancels it.
        if (state != nullptr && state->worker != nullptr) {
            if (IsWindowEnabled(state->cancel)) AskToCancel(state);
            return 0;
        }
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int RunSetupWindow(const SetupOptions &options, const FoundEdition *targets, int count, SetupJob job,
                   void *context, const LanguageChoice *languages) {
    WindowState *state = new WindowState();
    state->options = &options;
    state->count = count < kMaxEditions ? count : kMaxEditions;
    for (int i = 0; i < state->count; ++i) state->targets[i] = targets[i];
    state->job = job;
    state->context = context;
    state->languages = languages;
    state->code = SETUP_CANCELLED;

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kSetupWindowClass;
    RegisterOwnedClass(windowClass);  // a window that could not be made says so below
    HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME, kSetupWindowClass, L"DrovanaX Setup",
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                                  CW_USEDEFAULT, kWidth, 400, nullptr, nullptr, instance, state);
    int code = SETUP_WRITE_FAILED;
    if (window != nullptr) {
        ShowWindow(window, SW_SHOWNORMAL);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (!IsDialogMessageW(window, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        code = state->ran ? state->code : SETUP_CANCELLED;
    }
    if (state->font != nullptr) DeleteObject(state->font);
    delete state;
    return code;
}
