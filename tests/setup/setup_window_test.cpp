// The installer window as a pilot uses it: every edition ticked, one untick
// leaves that edition out of the job, the result lines show, Close ends it;
// the language row shows each language by its own name, and the pick goes to
// the job.
#include <windows.h>

#include <gtest/gtest.h>

#include <wchar.h>

#include <string>

#include "setup_exit.h"
#include "setup_window.h"

namespace {

struct JobSeen {
    int count = 0;
    std::string folders;
    bool uninstall = false;
    char chosen[16] = "";
    std::string languageAtJob;
    bool waitForCancel = false;  // the job waits (at most 10 s) for the pilot's Cancel
    bool sawCancel = false;
};

int RecordJob(void *context, bool uninstall, const FoundEdition *targets, int count, std::string *report,
              const volatile LONG *cancelled) {
    JobSeen *seen = static_cast<JobSeen *>(context);
    seen->count = count;
    seen->uninstall = uninstall;
    seen->languageAtJob = seen->chosen;
    for (int i = 0; i < count; ++i) seen->folders += targets[i].folder;
    for (int i = 0; seen->waitForCancel && !*cancelled && i < 1000; ++i) Sleep(10);
    seen->sawCancel = *cancelled != 0;
    *report = seen->sawCancel ? "Cancelled. Nothing was changed.\n" : "Steam Edition, D:\\Steam\\FSX\\: DrovanaX installed.\n";
    return seen->sawCancel ? SETUP_CANCELLED : SETUP_IN_USE;
}

struct Pilot {
    bool cancelsDuringJob = false;
    int buttonWidths[2] = {};  // Install's, before and after a move to a monitor of twice the DPI
    std::wstring boxes[2];
    bool ticked[2] = {};
    std::wstring results;
    std::wstring languages;  // each name, then '|'
    LRESULT preselected = -1;
};

void Click(HWND window, int id) {
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

// The results box once it shows something other than what the window says
// while the job runs (at most 10 s): the window answers meanwhile.
std::wstring ResultsAfterJob(HWND window) {
    wchar_t results[512] = L"";
    for (int i = 0; i < 1000; ++i) {
        GetWindowTextW(GetDlgItem(window, IDC_SETUP_RESULTS), results, 512);
        if (wcscmp(results, L"Installing...") != 0 && wcscmp(results, L"Cancelling...") != 0) break;
        Sleep(10);
    }
    return results;
}

DWORD WINAPI ActAsPilot(void *context) {
    Pilot *pilot = static_cast<Pilot *>(context);
    HWND window = nullptr;
    // Shown once its rows are made (it is found already while they are); at most 20 s.
    for (int i = 0; i < 800 && (window == nullptr || !IsWindowVisible(window)); ++i) {
        window = FindWindowW(kSetupWindowClass, nullptr);
        Sleep(25);
    }
    if (window == nullptr) return 1;
    for (int i = 0; i < 2; ++i) {
        HWND box = GetDlgItem(window, IDC_SETUP_FIRST_EDITION + i);
        wchar_t text[512] = L"";
        GetWindowTextW(box, text, 512);
        pilot->boxes[i] = text;
        pilot->ticked[i] = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    HWND list = GetDlgItem(window, IDC_SETUP_LANGUAGE);
    const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count && i < 8; ++i) {
        wchar_t name[64] = L"";
        SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(name));
        pilot->languages += std::wstring(name) + L"|";
    }
    pilot->preselected = SendMessageW(list, CB_GETCURSEL, 0, 0);
    for (int i = 0; i < 2; ++i) {
        RECT button;
        GetWindowRect(GetDlgItem(window, IDC_SETUP_INSTALL), &button);
        pilot->buttonWidths[i] = button.right - button.left;
        // WM_DPICHANGED to twice the window's DPI, which is Install's width
        // (96 pixels at 96 DPI), with the frame Windows would suggest.
        RECT frame;
        GetWindowRect(window, &frame);
        const WORD dpi = static_cast<WORD>(2 * pilot->buttonWidths[0]);
        if (i == 0) SendMessageW(window, 0x02E0, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
    }
    SendMessageW(list, CB_SETCURSEL, 1, 0);
    // What a click sends; a synthesized BM_CLICK from another thread is lost
    // at times, when the button gets no mouse capture.
    SendMessageW(GetDlgItem(window, IDC_SETUP_FIRST_EDITION), BM_SETCHECK, BST_UNCHECKED, 0);
    Click(window, IDC_SETUP_INSTALL);
    if (pilot->cancelsDuringJob) Click(window, IDC_SETUP_CANCEL);
    pilot->results = ResultsAfterJob(window);
    Click(window, IDC_SETUP_CANCEL);
    return 0;
}

// The job runs beside the window; Cancel while it runs reaches the job
// (which honours it before changing anything) and does not close the window.
TEST(SetupWindow, TickedEditionsOnlyAndTheirResultLines) {
    FoundEdition targets[2] = {};
    targets[0].edition = &kEditions[0];
    lstrcpynA(targets[0].folder, "C:\\FSX\\", MAX_PATH);
    targets[1].edition = &kEditions[1];
    lstrcpynA(targets[1].folder, "D:\\Steam\\FSX\\", MAX_PATH);
    SetupOptions options = {};
    CueLanguageList list = {};
    const struct {
        const char *code;
        const wchar_t *name;
    } languages[] = {{"en", L"English"}, {"de", L"Deutsch"}, {"ru", L"Русский"},
                     {"zh", L"中文"}};
    for (const auto &language : languages) {
        lstrcpynA(list.languages[list.count].code, language.code, 16);
        lstrcpynW(list.languages[list.count++].name, language.name, 64);
    }
    const struct {
        bool cancel;
        const wchar_t *results;
        int code;
    } cases[] = {
        {false, L"Steam Edition, D:\\Steam\\FSX\\: DrovanaX installed.\r\n", SETUP_IN_USE},
        {true, L"Cancelled. Nothing was changed.\r\n", SETUP_CANCELLED},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.cancel ? "Cancel during the job" : "the job to its end");
        JobSeen seen;
        seen.waitForCancel = c.cancel;
        const LanguageChoice choice = {&list, 3, seen.chosen, sizeof(seen.chosen)};
        Pilot pilot;
        pilot.cancelsDuringJob = c.cancel;
        HANDLE thread = CreateThread(nullptr, 0, ActAsPilot, &pilot, 0, nullptr);
        const int code = RunSetupWindow(options, targets, 2, RecordJob, &seen, &choice);
        WaitForSingleObject(thread, 20000);
        CloseHandle(thread);

        EXPECT_EQ(L"boxed edition  \u2013  C:\\FSX\\", pilot.boxes[0]);
        EXPECT_EQ(L"Steam Edition  \u2013  D:\\Steam\\FSX\\", pilot.boxes[1]);
        EXPECT_TRUE(pilot.ticked[0] && pilot.ticked[1]) << "every edition found starts ticked";
        EXPECT_EQ(1, seen.count);
        EXPECT_EQ("D:\\Steam\\FSX\\", seen.folders);
        EXPECT_FALSE(seen.uninstall);
        EXPECT_EQ(c.cancel, seen.sawCancel);
        EXPECT_EQ(c.results, pilot.results);
        EXPECT_EQ(c.code, code) << "the window ends with the job's exit code";
        EXPECT_EQ(L"English|Deutsch|Русский|中文|", pilot.languages);
        EXPECT_EQ(3, pilot.preselected);
        EXPECT_EQ("de", seen.languageAtJob) << "the language picked goes to the job";
        EXPECT_EQ(2 * pilot.buttonWidths[0], pilot.buttonWidths[1]) << "WM_DPICHANGED to twice the DPI";
    }
}

}  // namespace
