// Drovana.cfg, read straight from the file at the moment a value is needed and
// written straight back, so the dialog, a measurement and a hand edit are all
// seen by the next read. The platform's profile functions do the work; they
// are safe to call from the main, dialog and sound threads at once.
#ifndef DROVANA_ADDON_CORE_CONFIG_H
#define DROVANA_ADDON_CORE_CONFIG_H

#include <windows.h>

#include "config_values.h"

extern const char kSectionData[];          // "Data"
extern const char kSectionParking[];       // "Parking"

extern const char kKeyHead[];
extern const char kKeyDistance[];
extern const char kKeyWavFlag[];
extern const char kKeyEngFlag[];
extern const char kKeyCheck1[];
extern const char kKeyCheck2[];
extern const char kKeyCheck3[];
extern const char kKeyNumberSound[];

extern const ConfigNumber kHead;         // [Data], whole degrees
extern const ConfigNumber kDistance;     // [Data], whole metres
extern const ConfigNumber kWavFlag;      // [Data], switch
extern const ConfigNumber kEngFlag;      // [Data], 0 none, 1 before, 2 during, 3 after
extern const ConfigNumber kCheck1;       // [Parking], switch
extern const ConfigNumber kCheck2;       // [Parking], switch
extern const ConfigNumber kCheck3;       // [Parking], switch
extern const ConfigNumber kNumberSound;  // any sound-list section

// The value within the number's range, or its missing value. A value with a
// fraction gives its whole part (40.7 pushes 40 m, as it always has).
int ReadConfigNumber(const char *section, const ConfigNumber &number);

// Copies the value, cut to size - 1 characters and terminated; a missing key
// gives defaultText (null reads as empty).
void ReadConfigText(const char *section, const char *key, const char *defaultText, char *buffer, DWORD size);

// False when the file could not be written (a read-only file or folder, a
// full disk): the value is then not stored, and the caller tells the pilot.
bool WriteConfigText(const char *section, const char *key, const char *text);

// A switch is on exactly when its value is 1; it is written "1" or "0".
bool ReadConfigSwitch(const char *section, const ConfigNumber &number);
bool WriteConfigSwitch(const char *section, const ConfigNumber &number, bool on);

// What became of a measured value handed to be stored.
enum ConfigStore { CONFIG_STORED = 0, CONFIG_OUT_OF_RANGE, CONFIG_NOT_WRITTEN };

// The aircraft's correction in metres, as stored under [PLANE_CORRECT]; a
// missing entry, one that is no number or one beyond kCorrectionLimit reads
// as 0.
double ReadCorrection(const char *aircraftKey);
// Stores only a finite correction within kCorrectionLimit.
ConfigStore WriteCorrection(const char *aircraftKey, double metres);

// The aircraft's turn radius in metres under [PLANE_RADIUS], within
// kRadiusMinimum..kRadiusMaximum; anything else (missing, no number, out of
// range) reads as 0, "not measured".
double ReadTurnRadius(const char *aircraftKey);
// Stores ("%f") only a radius within the range.
ConfigStore WriteTurnRadius(const char *aircraftKey, double metres);

// Whole metres to take off the straight push: the correction rounded half up.
int RoundedCorrection(double metres);

#endif
