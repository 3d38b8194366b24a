// The settings dialog as a real window on its own thread, driven the way a
// user would drive it: through the dialog thread's message queue.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "core/identifiers.h"
#include "core/state.h"
#include "dialog/resource.h"
#include "dialog/settings_dialog.h"
#include "dispatch/dispatch.h"
#include "dispatch/module_entry.h"
#include "fake_simconnect.h"

namespace {

const char kCaption[] = "DrovanaX setting";
const char kDialogModeOff[] = "\"DialogMode\",0,0,NULL";
const DWORD kWaitMs = 10000;

struct FoundDialogs {
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM context) {
    char caption[64];
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && GetWindowTextA(window, caption, sizeof caption) > 0 &&
        strcmp(caption, kCaption) == 0)
        reinterpret_cast<FoundDialogs *>(context)->windows.push_back(window);
    return TRUE;
}

std::vector<HWND> OpenDialogs() {
    FoundDialogs found;
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&found));
    return found.windows;
}

class SettingDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAddonState();
        fake_simconnect::Reset();
        PushbackState.moduleInstance = GetModuleHandleA(nullptr);
        PushbackState.simConnect = reinterpret_cast<HANDLE>(0x5C0);
        lstrcpynA(PushbackState.aircraftKey, "B737", sizeof PushbackState.aircraftKey);
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        static int serial = 0;
        snprintf(PushbackState.configPath, sizeof PushbackState.configPath, "%sdrovana_dialog_%lu_%d.cfg", temp,
                 GetCurrentProcessId(), ++serial);
        DeleteFileA(PushbackState.configPath);
    }

    void TearDown() override {
        if (thread_ != nullptr) {
            if (WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT && dialog_ != nullptr)
                PostMessageA(dialog_, WM_COMMAND, IDCANCEL, 0);
            WaitForSingleObject(thread_, kWaitMs);
            CloseHandle(thread_);
        }
        DeleteFileA(PushbackState.configPath);
    }

    // DLLStop closes the handle in dialogThread; the test waits on a handle
    // of its own.
    static HANDLE OwnHandleOf(HANDLE thread) {
        HANDLE copy = nullptr;
        DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
        return copy;
    }

    // Starts the dialog thread as the connection does, with the handle kept
    // in dialogThread, and waits for the dialog to show.
    HWND Open() {
        StartThread();
        dialog_ = WaitForDialog();
        return dialog_;
    }
    void StartThread() {
        StartSettingDialog(nullptr);
        thread_ = OwnHandleOf(PushbackState.dialogThread);
        threadId_ = GetThreadId(thread_);
    }

    HWND WaitForDialog() {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < kWaitMs) {
            std::vector<HWND> open = OpenDialogs();
            if (!open.empty() && IsWindowVisible(open[0])) return open[0];
            Sleep(10);
        }
        return nullptr;
    }

    bool WaitForEnd() { return thread_ != nullptr && WaitForSingleObject(thread_, kWaitMs) == WAIT_OBJECT_0; }

    void Click(int id) { PostMessageA(GetDlgItem(dialog_, id), BM_CLICK, 0, 0); }

    std::string Text(int id) {
        char text[256];
        GetDlgItemTextA(dialog_, id, text, sizeof text);
        return text;
    }

    bool Checked(int id) { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }

    static void Put(const char *section, const char *key, const char *value) {
        WritePrivateProfileStringA(section, key, value, PushbackState.configPath);
    }

    static std::string Stored(const char *section, const char *key) {
        char value[256];
        GetPrivateProfileStringA(section, key, "<absent>", value, sizeof value, PushbackState.configPath);
        return value;
    }

    static bool FileExists() { return GetFileAttributesA(PushbackState.configPath) != INVALID_FILE_ATTRIBUTES; }

    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HWND dialog_ = nullptr;
};

TEST_F(SettingDialogTest, WithNoFileItShowsTheDefaultsAndOkCreatesAllSevenKeys) {
    ASSERT_NE(Open(), (HWND)nullptr) << "the dialog did not open";
    EXPECT_EQ(Text(IDC_AIRCRAFT), "B737");
    EXPECT_EQ(Text(IDC_ANGLE), "90");
    EXPECT_EQ(Text(IDC_DISTANCE), "50");
    EXPECT_EQ(Text(IDC_COMPENSATION), "0");
    for (int box : {IDC_SET_BEFORE, IDC_RELEASE_BEFORE, IDC_SET_AFTER, IDC_ENGINE_CHECK, IDC_SOUND_ON})
        EXPECT_FALSE(Checked(box)) << "box " << box << " ticked with no file";
    EXPECT_FALSE(FileExists()) << "opening the dialog wrote the file";

    Click(IDOK);
    ASSERT_TRUE(WaitForEnd()) << "OK did not close the dialog";
    EXPECT_EQ(Stored("Data", "Distance"), "50");
    EXPECT_EQ(Stored("Data", "Head"), "90");
    EXPECT_EQ(Stored("Data", "WavFlag"), "0");
    EXPECT_EQ(Stored("Data", "EngFlag"), "0");
    EXPECT_EQ(Stored("Parking", "Check1"), "0");
    EXPECT_EQ(Stored("Parking", "Check2"), "0");
    EXPECT_EQ(Stored("Parking", "Check3"), "0");
    EXPECT_EQ(Stored("PLANE_CORRECT", "B737"), "<absent>") << "OK must never write the correction";
}

TEST_F(SettingDialogTest, StopClosesAnOpenDialogBeforeTheConnection) {
    // The simulator may unload the module once DLLStop returns: a dialog
    // thread still running would run freed code.
    ASSERT_NE(Open(), (HWND)nullptr);
    DLLStop();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread_, 0)) << "the dialog thread outlived DLLStop";
    EXPECT_TRUE(OpenDialogs().empty());
    EXPECT_EQ(PushbackState.dialogThread, (HANDLE)nullptr) << "DLLStop left the thread's handle open";
    const std::vector<FakeCall> calls = fake_simconnect::Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ("SimConnect_SetSystemState", calls[calls.size() - 2].function) << "dialog mode was not given back";
    EXPECT_EQ("SimConnect_Close", calls.back().function);
}

TEST_F(SettingDialogTest, OpensCentredOnTheDesktopWithTheFocusOnOk) {
    ASSERT_NE(Open(), (HWND)nullptr);
    RECT desktop, frame;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(dialog_, &frame);
    EXPECT_EQ(frame.left, (desktop.right - (frame.right - frame.left)) / 2);
    EXPECT_EQ(frame.top, (desktop.bottom - (frame.bottom - frame.top)) / 2);

    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetGUIThreadInfo(threadId_, &info));
    EXPECT_EQ(info.hwndFocus, GetDlgItem(dialog_, IDOK));
    Click(IDCANCEL);
    EXPECT_TRUE(WaitForEnd());
}

TEST_F(SettingDialogTest, OkWithNothingChangedWritesAllSevenKeysFromTheBoxes) {
    Put("Data", "Head", "45");
    Put("Data", "Distance", "40");
    Put("Data", "WavFlag", "1");
    Put("Data", "EngFlag", "1");
    Put("Parking", "Check1", "1");
    Put("Parking", "Check2", "0");
    Put("Parking", "Check3", "1");
    Put("PLANE_CORRECT", "B737", "2.500000");
    ASSERT_NE(Open(), (HWND)nullptr);
    EXPECT_EQ(Text(IDC_ANGLE), "45");
    EXPECT_EQ(Text(IDC_DISTANCE), "40");
    EXPECT_EQ(Text(IDC_COMPENSATION), "2.500000");
    EXPECT_TRUE(Checked(IDC_SOUND_ON));
    EXPECT_TRUE(Checked(IDC_ENGINE_CHECK));
    EXPECT_TRUE(Checked(IDC_SET_BEFORE));
    EXPECT_FALSE(Checked(IDC_RELEASE_BEFORE));
    EXPECT_TRUE(Checked(IDC_SET_AFTER));

    // Whatever OK writes now comes from the dialog, not from the old file.
    ASSERT_TRUE(DeleteFileA(PushbackState.configPath));
    Click(IDOK);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Stored("Data", "Head"), "45");
    EXPECT_EQ(Stored("Data", "Distance"), "40");
    EXPECT_EQ(Stored("Data", "WavFlag"), "1");
    EXPECT_EQ(Stored("Data", "EngFlag"), "1");
    EXPECT_EQ(Stored("Parking", "Check1"), "1");
    EXPECT_EQ(Stored("Parking", "Check2"), "0");
    EXPECT_EQ(Stored("Parking", "Check3"), "1");
}

TEST_F(SettingDialogTest, CancelEscapeAndTheCloseBoxWriteNothing) {
    struct Way {
        const char *name;
        void (*close)(HWND dialog, DWORD threadId);
    };
    const Way ways[] = {
        {"CANCEL", [](HWND dialog, DWORD) { PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0); }},
        {"Escape",
         [](HWND dialog, DWORD threadId) {
             GUITHREADINFO info = {};
             info.cbSize = sizeof info;
             GetGUIThreadInfo(threadId, &info);
             HWND focus = info.hwndFocus ? info.hwndFocus : dialog;
             PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 1);
             PostMessageA(focus, WM_KEYUP, VK_ESCAPE, 0xC0000001);
         }},
        {"close box", [](HWND dialog, DWORD) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        // Not through the queue: the loop must still notice that it is closed.
        {"CANCEL sent from another thread",
         [](HWND dialog, DWORD) { SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0); }},
    };
    for (const Way &way : ways) {
        SCOPED_TRACE(way.name);
        fake_simconnect::Reset();
        ASSERT_NE(Open(), (HWND)nullptr);
        SetDlgItemTextA(dialog_, IDC_DISTANCE, "77");
        SendDlgItemMessageA(dialog_, IDC_SOUND_ON, BM_SETCHECK, BST_CHECKED, 0);
        way.close(dialog_, threadId_);
        ASSERT_TRUE(WaitForEnd()) << way.name << " did not close the dialog";
        EXPECT_FALSE(FileExists()) << way.name << " wrote the file";
        EXPECT_TRUE(OpenDialogs().empty()) << "the dialog was not destroyed";
        EXPECT_EQ(fake_simconnect::CallsOf("SimConnect_SetSystemState").size(), 1u);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
}

TEST_F(SettingDialogTest, EngineCheckModeThreeShowsClearedAndOkStoresZero) {
    Put("Data", "EngFlag", "3");
    ASSERT_NE(Open(), (HWND)nullptr);
    EXPECT_FALSE(Checked(IDC_ENGINE_CHECK));
    Click(IDOK);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Stored("Data", "EngFlag"), "0");
}

TEST_F(SettingDialogTest, OkRefusesADistanceOrAngleThatIsNoWholeNumberInItsRange) {
    const char kDistanceRange[] = "Distance (m) must be a whole number from 0 to 500.";
    const char kAngleRange[] = "Angle (deg) must be a whole number from 1 to 180.";
    const std::string seventyZeros(70, '0');  // 0, were it cut to the dialog's 64-byte buffer
    const struct {
        int field;
        const char *typed;
        const char *says;
    } cases[] = {{IDC_DISTANCE, "5O", kDistanceRange},   {IDC_DISTANCE, "999999", kDistanceRange},
                 {IDC_DISTANCE, "40.7", kDistanceRange}, {IDC_DISTANCE, "", kDistanceRange},
                 {IDC_DISTANCE, seventyZeros.c_str(), kDistanceRange},
                 {IDC_ANGLE, "0", kAngleRange},          {IDC_ANGLE, "181", kAngleRange}};
    ASSERT_NE(Open(), (HWND)nullptr);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        SetDlgItemTextA(dialog_, IDC_DISTANCE, "40");
        SetDlgItemTextA(dialog_, IDC_ANGLE, "45");
        SetDlgItemTextA(dialog_, c.field, c.typed);
        Click(IDOK);
        HWND box = nullptr;
        for (const DWORD start = GetTickCount(); box == nullptr && GetTickCount() - start < kWaitMs; Sleep(10))
            box = FindWindowA("#32770", "DrovanaX");
        ASSERT_NE(box, (HWND)nullptr) << "OK gave no refusal";
        EXPECT_EQ(GetWindow(box, GW_OWNER), dialog_);
        char says[128] = "";
        GetDlgItemTextA(box, 0xFFFF, says, sizeof says);  // a message box's text
        EXPECT_STREQ(says, c.says);
        PostMessageA(box, WM_COMMAND, IDOK, 0);

        HWND field = GetDlgItem(dialog_, c.field);
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        for (const DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs; Sleep(10))
            if (GetGUIThreadInfo(threadId_, &info) && info.hwndFocus == field) break;
        EXPECT_EQ(info.hwndFocus, field) << "the refused field has not the focus";
        DWORD from = 1, to = 0;
        SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
        EXPECT_EQ(to - from, static_cast<DWORD>(strlen(c.typed))) << "its text is not selected";
        EXPECT_FALSE(FileExists()) << "a refused OK wrote the file";
    }
    SetDlgItemTextA(dialog_, IDC_DISTANCE, " 040 ");
    SetDlgItemTextA(dialog_, IDC_ANGLE, "180");
    Click(IDOK);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Stored("Data", "Distance"), "40");
    EXPECT_EQ(Stored("Data", "Head"), "180");
}

// A Drovana.cfg that refuses the writes (here a folder in its place, as a
// read-only file under Windows): OK names what was not saved and the dialog
// stays open with the pilot's values, so a second OK can store them.
TEST_F(SettingDialogTest, OkThatTheFileRefusesNamesWhatWasNotSavedAndStaysOpen) {
    ASSERT_TRUE(CreateDirectoryA(PushbackState.configPath, nullptr));
    ASSERT_NE(Open(), (HWND)nullptr);
    SetDlgItemTextA(dialog_, IDC_DISTANCE, "40");
    Click(IDOK);
    HWND box = nullptr;
    for (const DWORD start = GetTickCount(); box == nullptr && GetTickCount() - start < kWaitMs; Sleep(10))
        box = FindWindowA("#32770", "DrovanaX");
    ASSERT_NE(box, (HWND)nullptr) << "OK said nothing of the values it could not store";
    char says[1024] = "";
    GetDlgItemTextA(box, 0xFFFF, says, sizeof says);
    EXPECT_EQ(std::string(PushbackState.configPath) +
                  " could not be written. Not saved: Distance (m), Angle (deg), Set before pushback, Release before "
                  "pushback, Set after pushback, Engine start check, Sound ON.\n\nOK tries again; CANCEL closes the "
                  "dialog without saving.",
              says);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread_, 300)) << "the dialog closed with its values unsaved";

    ASSERT_TRUE(RemoveDirectoryA(PushbackState.configPath));
    Click(IDOK);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Stored("Data", "Distance"), "40");
}

TEST_F(SettingDialogTest, BeforeTheFirstAircraftReplyTheAircraftBoxIsEmpty) {
    PushbackState.aircraftKey[0] = '\0';
    Put("PLANE_CORRECT", "B737", "1.500000");
    ASSERT_NE(Open(), (HWND)nullptr);
    EXPECT_EQ(Text(IDC_AIRCRAFT), "");
    EXPECT_EQ(Text(IDC_COMPENSATION), "0");
    Click(IDCANCEL);
    EXPECT_TRUE(WaitForEnd());
}

TEST_F(SettingDialogTest, DialogModeIsGivenBackOnlyAfterTheDialogHasClosed) {
    ASSERT_NE(Open(), (HWND)nullptr);
    Sleep(100);
    EXPECT_TRUE(fake_simconnect::CallsOf("SimConnect_SetSystemState").empty())
        << "dialog mode was changed while the dialog is open";
    EXPECT_NE(PushbackState.dialogThread, (HANDLE)nullptr);

    Click(IDCANCEL);
    ASSERT_TRUE(WaitForEnd());
    const std::vector<FakeCall> calls = fake_simconnect::CallsOf("SimConnect_SetSystemState");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, kDialogModeOff);
    EXPECT_EQ(calls[0].threadId, threadId_) << "dialog mode must be given back by the dialog thread";
    DWORD exitCode = 1;
    GetExitCodeThread(thread_, &exitCode);
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(SettingDialogTest, SettingTwiceOpensOneDialog) {
    SIMCONNECT_RECV_SYSTEM_STATE reply = {};
    reply.dwSize = sizeof reply;
    reply.dwID = SIMCONNECT_RECV_ID_SYSTEM_STATE;
    reply.dwRequestID = REQ_DIALOG_MODE;
    reply.dwInteger = 1;

    SimConnectDispatch(&reply, sizeof reply, nullptr);
    HANDLE first = PushbackState.dialogThread;
    ASSERT_NE(first, (HANDLE)nullptr) << "the dialog-mode reply started no dialog thread";
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), first, GetCurrentProcess(), &thread_, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    dialog_ = WaitForDialog();
    ASSERT_NE(dialog_, (HWND)nullptr);

    SimConnectDispatch(&reply, sizeof reply, nullptr);
    EXPECT_EQ(PushbackState.dialogThread, first) << "a second reply replaced the dialog thread";
    Sleep(200);
    EXPECT_EQ(OpenDialogs().size(), 1u);

    Click(IDCANCEL);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(fake_simconnect::CallsOf("SimConnect_SetSystemState").size(), 1u);

    // The ended thread's handle is closed by the next reply, which opens the
    // dialog again.
    CloseHandle(thread_);
    SimConnectDispatch(&reply, sizeof reply, nullptr);
    thread_ = OwnHandleOf(PushbackState.dialogThread);
    dialog_ = WaitForDialog();
    ASSERT_NE(dialog_, (HWND)nullptr) << "a later \"Setting\" opened no dialog";
    Click(IDCANCEL);
    ASSERT_TRUE(WaitForEnd());
}

TEST_F(SettingDialogTest, WhenTheDialogCannotBeCreatedDialogModeIsGivenBackAtOnce) {
    HMODULE withoutTemplate = GetModuleHandleA("kernel32.dll");
    ASSERT_EQ(FindResourceA(withoutTemplate, MAKEINTRESOURCEA(IDD_SETTING), MAKEINTRESOURCEA(5)), (HRSRC)nullptr);
    PushbackState.moduleInstance = withoutTemplate;

    StartThread();
    ASSERT_TRUE(WaitForEnd()) << "the thread waits for a dialog that does not exist";
    const std::vector<FakeCall> calls = fake_simconnect::CallsOf("SimConnect_SetSystemState");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].args, kDialogModeOff);
    EXPECT_TRUE(OpenDialogs().empty());
}

}  // namespace
