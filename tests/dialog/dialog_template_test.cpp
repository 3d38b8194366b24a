// The settings dialog's template, read back from the resources: the test
// program links the same resource script, and DrovanaX.dll must carry it too.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "dialog/resource.h"

namespace {

const WORD kButtonClass = 0x0080;
const WORD kEditClass = 0x0081;
const WORD kStaticClass = 0x0082;

struct TemplateItem {
    int id;
    WORD classAtom;
    DWORD style;
    DWORD exStyle;
    std::string caption;
    short x, y, cx, cy;
};

struct DialogTemplate {
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    bool hasMenu;
    bool hasClass;
    std::string caption;
    WORD pointSize;
    WORD weight;
    BYTE italic;
    BYTE charset;
    std::string typeface;
    std::vector<TemplateItem> items;
};

// Reads the words of an extended dialog template, in the layout the platform
// defines for DLGTEMPLATEEX and DLGITEMTEMPLATEEX.
class TemplateReader {
public:
    TemplateReader(const BYTE *data, DWORD size) : data_(data), size_(size), at_(0) {}

    bool Ok() const { return ok_; }
    WORD Word() { return static_cast<WORD>(Bytes(2)); }
    DWORD Dword() { return Bytes(4); }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() { return static_cast<BYTE>(Bytes(1)); }
    void AlignDword() { at_ = (at_ + 3) & ~static_cast<DWORD>(3); }
    void Skip(DWORD count) { at_ += count; }

    // A string, or an ordinal (0xFFFF then its value), or nothing (0).
    std::string SzOrOrd(WORD *ordinal = nullptr, bool *present = nullptr) {
        if (ordinal) *ordinal = 0;
        if (present) *present = false;
        const WORD first = Word();
        if (first == 0) return std::string();
        if (present) *present = true;
        if (first == 0xFFFF) {
            const WORD value = Word();
            if (ordinal) *ordinal = value;
            return std::string();
        }
        std::string text(1, static_cast<char>(first));
        for (WORD c = Word(); ok_ && c != 0; c = Word()) text += static_cast<char>(c);
        return text;
    }

private:
    DWORD Bytes(DWORD count) {
        if (at_ + count > size_) {
            ok_ = false;
            return 0;
        }
        DWORD value = 0;
        for (DWORD i = 0; i < count; ++i) value |= static_cast<DWORD>(data_[at_ + i]) << (8 * i);
        at_ += count;
        return value;
    }

    const BYTE *data_;
    DWORD size_;
    DWORD at_;
    bool ok_ = true;
};

bool ReadTemplate(HMODULE module, DialogTemplate *out, std::string *why) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDD_SETTING), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    if (!found) {
        *why = "no dialog resource 101";
        return false;
    }
    const BYTE *data = static_cast<const BYTE *>(LockResource(LoadResource(module, found)));
    TemplateReader reader(data, SizeofResource(module, found));
    if (reader.Word() != 1 || reader.Word() != 0xFFFF) {
        *why = "not an extended dialog template";
        return false;
    }
    reader.Dword();  // help id
    out->exStyle = reader.Dword();
    out->style = reader.Dword();
    const WORD count = reader.Word();
    out->x = reader.Short();
    out->y = reader.Short();
    out->cx = reader.Short();
    out->cy = reader.Short();
    reader.SzOrOrd(nullptr, &out->hasMenu);
    reader.SzOrOrd(nullptr, &out->hasClass);
    out->caption = reader.SzOrOrd();
    if (out->style & DS_SETFONT) {
        out->pointSize = reader.Word();
        out->weight = reader.Word();
        out->italic = reader.Byte();
        out->charset = reader.Byte();
        out->typeface = reader.SzOrOrd();
    }
    for (WORD i = 0; i < count && reader.Ok(); ++i) {
        reader.AlignDword();
        TemplateItem item;
        reader.Dword();  // help id
        item.exStyle = reader.Dword();
        item.style = reader.Dword();
        item.x = reader.Short();
        item.y = reader.Short();
        item.cx = reader.Short();
        item.cy = reader.Short();
        item.id = static_cast<int>(reader.Dword());
        reader.SzOrOrd(&item.classAtom);
        item.caption = reader.SzOrOrd();
        reader.Skip(reader.Word());  // creation data
        out->items.push_back(item);
    }
    if (!reader.Ok()) *why = "the template is shorter than its contents say";
    return reader.Ok();
}

const DWORD kChild = WS_CHILD | WS_VISIBLE;
const DWORD kLabel = kChild | WS_GROUP | SS_LEFT;
const DWORD kEdit = kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
const DWORD kCheckBox = kChild | WS_TABSTOP | BS_AUTOCHECKBOX;

const TemplateItem kExpectedItems[] = {
    {IDOK, kButtonClass, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, "OK", 7, 162, 50, 14},
    {IDCANCEL, kButtonClass, kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, "CANCEL", 86, 162, 50, 14},
    {-1, kStaticClass, kLabel, 0, "Aircraft", 7, 9, 25, 8},
    {IDC_AIRCRAFT, kEditClass, kEdit | ES_READONLY, 0, "", 50, 7, 86, 13},
    {-1, kStaticClass, kLabel, 0, "Compensation Distance (m)", 7, 27, 88, 8},
    {IDC_COMPENSATION, kEditClass, kEdit | ES_READONLY, WS_EX_RIGHT, "", 104, 25, 32, 13},
    {-1, kStaticClass, kLabel, 0, "Distance (m)", 7, 45, 41, 8},
    {IDC_DISTANCE, kEditClass, kEdit, WS_EX_RIGHT, "", 65, 44, 32, 13},
    {-1, kStaticClass, kLabel, 0, "Angle (deg)", 7, 63, 38, 8},
    {IDC_ANGLE, kEditClass, kEdit, WS_EX_RIGHT, "", 65, 63, 32, 13},
    {-1, kButtonClass, kChild | BS_GROUPBOX, 0, "Parking break check", 7, 78, 129, 45},
    {IDC_SET_BEFORE, kButtonClass, kCheckBox, 0, "Set before pushback", 14, 88, 82, 10},
    {IDC_RELEASE_BEFORE, kButtonClass, kCheckBox, 0, "Release before pushback", 14, 99, 97, 10},
    {IDC_SET_AFTER, kButtonClass, kCheckBox, 0, "Set after pushback", 14, 110, 77, 10},
    {IDC_ENGINE_CHECK, kButtonClass, kCheckBox, 0, "Engine start check", 14, 129, 75, 10},
    {IDC_SOUND_ON, kButtonClass, kCheckBox, 0, "Sound ON", 14, 144, 48, 10},
};

TEST(SettingDialogTemplate, DialogHasTheStyleFontAndCaption) {
    DialogTemplate dialog;
    std::string why;
    ASSERT_TRUE(ReadTemplate(GetModuleHandleA(nullptr), &dialog, &why)) << why;
    EXPECT_EQ(dialog.style, static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT |
                                               DS_FIXEDSYS))
        << "a different style, or visible when created";
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, 143);
    EXPECT_EQ(dialog.cy, 183);
    EXPECT_FALSE(dialog.hasMenu);
    EXPECT_FALSE(dialog.hasClass) << "the dialog must use the standard dialog class";
    EXPECT_EQ(dialog.caption, "DrovanaX setting");
    EXPECT_EQ(dialog.typeface, "MS Shell Dlg");
    EXPECT_EQ(dialog.pointSize, 8);
    EXPECT_EQ(dialog.weight, 400);
    EXPECT_EQ(dialog.italic, 0);
    EXPECT_EQ(dialog.charset, DEFAULT_CHARSET);
}

TEST(SettingDialogTemplate, SixteenControlsInTabOrder) {
    DialogTemplate dialog;
    std::string why;
    ASSERT_TRUE(ReadTemplate(GetModuleHandleA(nullptr), &dialog, &why)) << why;
    const size_t expected = sizeof kExpectedItems / sizeof kExpectedItems[0];
    ASSERT_EQ(dialog.items.size(), expected);
    for (size_t i = 0; i < expected; ++i) {
        const TemplateItem &want = kExpectedItems[i];
        const TemplateItem &got = dialog.items[i];
        SCOPED_TRACE("control " + std::to_string(i) + " \"" + want.caption + "\" id " + std::to_string(want.id));
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.classAtom, want.classAtom);
        EXPECT_EQ(got.style, want.style) << std::hex << "style 0x" << got.style << ", want 0x" << want.style;
        EXPECT_EQ(got.exStyle, want.exStyle);
        EXPECT_EQ(got.caption, want.caption);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
    }
}

TEST(SettingDialogTemplate, TheAddOnModuleCarriesTheSameTemplate) {
    const char *build = getenv("DROVANA_BUILD_DIR");
    ASSERT_NE(build, nullptr) << "DROVANA_BUILD_DIR is not set";
    const std::string path = std::string("Z:") + build + "/DrovanaX.dll";
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, (HMODULE)nullptr) << "cannot load " << path;

    HRSRC mine = FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTING), MAKEINTRESOURCEA(5));
    HRSRC theirs = FindResourceA(module, MAKEINTRESOURCEA(IDD_SETTING), MAKEINTRESOURCEA(5));
    ASSERT_NE(theirs, (HRSRC)nullptr) << "DrovanaX.dll has no dialog 101";
    const DWORD size = SizeofResource(module, theirs);
    ASSERT_EQ(size, SizeofResource(GetModuleHandleA(nullptr), mine));
    EXPECT_EQ(memcmp(LockResource(LoadResource(module, theirs)),
                     LockResource(LoadResource(GetModuleHandleA(nullptr), mine)), size),
              0);
    FreeLibrary(module);
}

}  // namespace
