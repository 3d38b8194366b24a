#include "setup_fixture.h"

#include <objbase.h>
#include <msxml2.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <shlwapi.h>

#include "command_line.h"
#include "editions_run.h"

namespace {

const CLSID kDomDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};

std::string NodeText(IXMLDOMNode *block, const wchar_t *child) {
    IXMLDOMNode *node = nullptr;
    BSTR query = SysAllocString(child);
    std::string text = "-";
    if (block->selectSingleNode(query, &node) == S_OK && node != nullptr) {
        BSTR value = nullptr;
        node->get_text(&value);
        char narrow[MAX_PATH] = "";
        WideCharToMultiByte(CP_ACP, 0, value, -1, narrow, sizeof(narrow), nullptr, nullptr);
        text = narrow;
        SysFreeString(value);
        node->Release();
    }
    SysFreeString(query);
    return text;
}

void List(const std::string &folder, const std::string &shown, std::string *listing) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            *listing += shown + name + "\\\n";
            List(folder + "\\" + name, shown + name + "\\", listing);
        } else {
            *listing += shown + name + " " + FileBytes(folder + "\\" + name) + "\n";
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

}  // namespace

std::string FileBytes(const std::string &path) {
    std::string bytes;
    return ReadFileBytes(path, &bytes) ? bytes : "(absent)";
}

void WriteBytes(const std::string &path, const std::string &bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write " << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string SourceFile(const char *relative) {
    const char *source = getenv("DROVANA_SOURCE_DIR");
    if (source == nullptr) return "(DROVANA_SOURCE_DIR is not set)";
    std::string path = std::string(source[0] == '/' ? "Z:" : "") + source + "/" + relative;
    for (char &c : path) {
        if (c == '/') c = '\\';
    }
    return FileBytes(path);
}

namespace {

std::string TestFolder() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    *strrchr(self, '\\') = '\0';
    return self;
}

}  // namespace

std::string BuiltFile(const char *name) { return TestFolder() + "\\..\\" + name; }

HANDLE StartProgram(std::string command, DWORD *processId) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return nullptr;
    CloseHandle(started.hThread);
    *processId = started.dwProcessId;
    return started.hProcess;
}

void EndProgram(HANDLE process) {
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
}

HANDLE HoldAsProgram(const std::string &path, DWORD *processId) {
    HANDLE holder = StartProgram("\"" + TestFolder() + "\\hold_module.exe\" \"" + path + "\"", processId);
    // At most 30 s: a new process starts slowly beside five other tests.
    for (int i = 0; i < 600 && holder != nullptr; ++i) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return holder;
        CloseHandle(file);
        Sleep(50);
    }
    if (holder != nullptr) EndProgram(holder);
    return nullptr;
}

std::vector<std::string> DrovanaEntries(const std::string &path) {
    std::vector<std::string> entries;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IXMLDOMDocument *document = nullptr;
    CoCreateInstance(kDomDocument60, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                     reinterpret_cast<void **>(&document));
    if (document == nullptr) return {"(no MSXML)"};
    document->put_async(VARIANT_FALSE);
    wchar_t widePath[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH);
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocString(widePath);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    document->load(source, &loaded);
    VariantClear(&source);
    IXMLDOMNodeList *blocks = nullptr;
    BSTR query = SysAllocString(L"/SimBase.Document/Launch.Addon[Name='DrovanaX']");
    if (loaded != VARIANT_TRUE || document->selectNodes(query, &blocks) != S_OK) {
        entries.push_back("(not loaded)");
    } else {
        IXMLDOMNode *block = nullptr;
        while (blocks->nextNode(&block) == S_OK && block != nullptr) {
            entries.push_back(NodeText(block, L"Disabled") + "|" + NodeText(block, L"ManualLoad") + "|" +
                              NodeText(block, L"Path"));
            block->Release();
        }
        blocks->Release();
    }
    SysFreeString(query);
    document->Release();
    CoUninitialize();
    return entries;
}

SetupFixture::SetupFixture() {
    for (const char *folder :
         {"package", "package\\DrovanaX", "package\\DrovanaX\\Sounds", "package\\DrovanaX\\Sounds\\en",
          "package\\DrovanaX\\Sounds\\de", "sim", "AppData", "AppData\\Microsoft"})
        CreateDirectoryA(work.File(folder).c_str(), nullptr);
    dllXml = work.File("AppData\\Microsoft\\FSX\\dll.xml");
    WriteBytes(Package("DrovanaX.dll"), "the add-on, new");
    WriteBytes(Package("Kestrola.exe"), "the player, new");
    WriteBytes(Package("DrovanaMap.exe"), "the map, new");
    WriteBytes(Package("DrovanaSetup.exe"), "the setup, new");
    WriteBytes(Package("Drovana.cfg"), "[Data]\r\nHead=90\r\n");
    WriteBytes(Package("dll.xml"), SourceFile("package/dll.xml"));
    WriteBytes(Package("DrovanaX\\Sounds\\languages.txt"), "en\tEnglish\r\nde\tDeutsch\r\n");
    WriteBytes(Package("DrovanaX\\Sounds\\en\\good_luck.wav"), "RIFF good luck");
    WriteBytes(Package("DrovanaX\\Sounds\\en\\set_parking_brake.wav"), "RIFF brake");
    WriteBytes(Package("DrovanaX\\Sounds\\de\\good_luck.wav"), "RIFF guten Flug");
    WriteBytes(Package("DrovanaX\\Sounds\\de\\set_parking_brake.wav"), "RIFF Parkbremse");
}

int SetupFixture::Run(bool uninstall, bool purge, const char *language) {
    SetupOptions options = {};
    options.silent = true;
    snprintf(options.language, sizeof(options.language), "%s", language);
    options.uninstall = uninstall;
    options.purge = purge;
    FoundEdition target = {};
    target.edition = &kBoxedEdition;
    snprintf(target.folder, sizeof(target.folder), "%s", work.File("sim\\").c_str());
    snprintf(target.dllXml, sizeof(target.dllXml), "%s", dllXml.c_str());
    // The Apps & features entry goes to a key of this run's own, not the prefix's.
    const std::string scratch = "Software\\DrovanaSetupFixture-" + std::to_string(GetCurrentProcessId());
    HKEY user = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, scratch.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &user,
                    nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, user);
    const int code = RunEditions(options, work.File("package\\").c_str(), &target, 1, &report);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(user);
    SHDeleteKeyA(HKEY_CURRENT_USER, scratch.c_str());
    return code;
}

std::string SetupFixture::SimListing() const {
    std::string listing;
    List(work.File("sim"), "", &listing);
    return listing;
}
