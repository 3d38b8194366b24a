#include "screen_text.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "identifiers.h"
#include "state.h"

namespace {
const float kShowSeconds = 10.0f;
}

// After DLLStop the connection is gone while timers and the hook still run:
// their texts are dropped.
void ShowMessage(char (&message)[256]) {
    HANDLE connection = PushbackState.simConnect;
    if (connection == nullptr) return;
    SimConnect_Text(connection, SIMCONNECT_TEXT_TYPE_PRINT_RED, kShowSeconds, EVENT_TEXT, sizeof message, message);
}

void ShowFixedText(const char *text) {
    HANDLE connection = PushbackState.simConnect;
    if (connection == nullptr) return;
    SimConnect_Text(connection, SIMCONNECT_TEXT_TYPE_PRINT_RED, kShowSeconds, EVENT_TEXT,
                    static_cast<DWORD>(strlen(text) + 1), const_cast<char *>(text));
}

void ShowTextInBuffer(const char *text) {
    char message[256] = {};
    lstrcpynA(message, text, sizeof message);
    ShowMessage(message);
}

void ShowFormattedMessage(const char *format, ...) {
    char message[256] = {};
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    ShowMessage(message);
}
