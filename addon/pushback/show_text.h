// A fixed message shown the way every built message is: copied into a
// 256-byte buffer and handed over whole.
#ifndef DROVANA_ADDON_PUSHBACK_SHOW_TEXT_H
#define DROVANA_ADDON_PUSHBACK_SHOW_TEXT_H

#include <windows.h>

#include "../core/screen_text.h"

inline void ShowTextInBuffer(const char *text) {
    char message[256] = {};
    lstrcpynA(message, text, sizeof message);
    ShowMessage(message);
}

#endif
