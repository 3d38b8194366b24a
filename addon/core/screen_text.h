// Every message of the add-on is red print text, shown for ten seconds.
#ifndef DROVANA_ADDON_CORE_SCREEN_TEXT_H
#define DROVANA_ADDON_CORE_SCREEN_TEXT_H

#include <windows.h>

// A message built in a 256-byte buffer; the whole buffer is handed over.
void ShowMessage(char (&message)[256]);

// A fixed text, handed over with its length plus the NUL.
void ShowFixedText(const char *text);

// A text copied or formatted into a 256-byte message (cut to 255 characters)
// and handed over whole, as every built message is.
void ShowTextInBuffer(const char *text);
void ShowFormattedMessage(const char *format, ...) __attribute__((format(printf, 1, 2)));

#endif
