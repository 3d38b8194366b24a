#include "report_text.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>

const char kUsage[] =
    "DrovanaSetup.exe [/S] [/LANG=CODE] [/uninstall [/purge]] [[/SIM=SIMULATOR] /D=FOLDER]\n"
    "  /S  silent: every simulator edition found   /D=FOLDER  that simulator folder only (last on the line)\n"
    "  /SIM=SIMULATOR  the simulator of that folder: FSX, FSX-SE, P3Dv1, P3Dv2 or P3Dv3\n"
    "  /LANG=CODE  the voice cues' language, such as de or pt-BR (INSTALL.txt lists them)\n"
    "  /uninstall  remove DrovanaX   /purge  remove Drovana.cfg too\n"
    "Exit codes: 0 done, 1 cancelled, 2 no simulator folder, 3 dll.xml not well-formed or not editable,\n"
    "4 a file could not be written, 5 a program is in use (close the simulator first),\n"
    "6 the package is incomplete, 7 a wrong command line.\n"
    "With several editions: 0 when all succeeded, else the first failing edition's code.";

void WriteOutput(const char *text) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(output, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
}

void ShowProblem(const SetupOptions &options, const char *text) {
    WriteOutput(text);
    WriteOutput("\n");
    if (!options.silent) MessageBoxW(nullptr, Wide(text).c_str(), L"DrovanaX Setup", MB_OK | MB_ICONERROR);
}

std::wstring Wide(const char *text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length - 1));
    return wide;
}

void AppendText(std::string *text, const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int length = vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    if (length > 0) {
        const size_t used = text->size();
        text->resize(used + static_cast<size_t>(length) + 1);
        vsnprintf(&(*text)[used], static_cast<size_t>(length) + 1, format, again);
        text->resize(used + static_cast<size_t>(length));
    }
    va_end(again);
}
