// Drovana.cfg, read straight from the file at the moment a value is needed and
// written straight back, so the dialog, a measurement and a hand edit are all
// seen by the next read. The platform's profile functions do the work; they
// are safe to call from the main, dialog and sound threads at once.
#ifndef DROVANA_ADDON_CORE_CONFIG_H
#define DROVANA_ADDON_CORE_CONFIG_H

#include <windows.h>

extern const char kSectionData[];          // "Data"
extern const char kSectionPlaneCorrect[];  // "PLANE_CORRECT"
extern const char kSectionParking[];       // "Parking"

extern const char kKeyHead[];
extern const char kKeyDistance[];
extern const char kKeyWavFlag[];
extern const char kKeyEngFlag[];
extern const char kKeyCheck1[];
extern const char kKeyCheck2[];
extern const char kKeyCheck3[];
extern const char kKeyNumberSound[];

int ReadConfigInt(const char *section, const char *key, int defaultValue);

// Copies the value, cut to size - 1 characters and terminated; a missing key
// gives defaultText (NULL reads as empty).
void ReadConfigText(const char *section, const char *key, const char *defaultText, char *buffer, DWORD size);

void WriteConfigText(const char *section, const char *key, const char *text);

// A switch is on exactly when its integer value is 1; it is written "1" or "0".
bool ReadConfigSwitch(const char *section, const char *key);
void WriteConfigSwitch(const char *section, const char *key, bool on);

// The aircraft's correction in metres, as stored under [PLANE_CORRECT]; a
// missing or non-numeric entry reads as 0.
double ReadCorrection(const char *aircraftKey);
void WriteCorrection(const char *aircraftKey, double metres);

// Whole metres to take off the straight push: the correction rounded half up.
int RoundedCorrection(double metres);

#endif
