#include "screen_text.h"

#include <string.h>

#include "identifiers.h"
#include "state.h"

namespace {
const float kShowSeconds = 10.0f;
}

void ShowMessage(char (&message)[256]) {
    SimConnect_Text(PushbackState.simConnect, SIMCONNECT_TEXT_TYPE_PRINT_RED, kShowSeconds, EVENT_TEXT,
                    sizeof message, message);
}

void ShowFixedText(const char *text) {
    SimConnect_Text(PushbackState.simConnect, SIMCONNECT_TEXT_TYPE_PRINT_RED, kShowSeconds, EVENT_TEXT,
                    static_cast<DWORD>(strlen(text) + 1), const_cast<char *>(text));
}
