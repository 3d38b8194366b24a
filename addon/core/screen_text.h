// Every message of the add-on is red print text, shown for ten seconds.
#ifndef DROVANA_ADDON_CORE_SCREEN_TEXT_H
#define DROVANA_ADDON_CORE_SCREEN_TEXT_H

#include <windows.h>

// A message built in a 256-byte buffer; the whole buffer is handed over.
void ShowMessage(char (&message)[256]);

// A fixed text, handed over with its length plus the NUL.
void ShowFixedText(const char *text);

#endif
