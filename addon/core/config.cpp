#include "config.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "state.h"

const char kSectionData[] = "Data";
const char kSectionParking[] = "Parking";

const char kKeyHead[] = "Head";
const char kKeyDistance[] = "Distance";
const char kKeyWavFlag[] = "WavFlag";
const char kKeyEngFlag[] = "EngFlag";
const char kKeyCheck1[] = "Check1";
const char kKeyCheck2[] = "Check2";
const char kKeyCheck3[] = "Check3";
const char kKeyNumberSound[] = "Number_Sound";

// The ranges, one place for the reader and the dialog. A pushback starts at
// the gate: no straight push of several hundred metres comes before its turn,
// and 0 turns at once. A tail turn beyond 180 degrees is the other turn.
const ConfigNumber kHead = {kKeyHead, 1, 180, 90};
const ConfigNumber kDistance = {kKeyDistance, 0, 500, 50};
const ConfigNumber kWavFlag = {kKeyWavFlag, 0, 1, 0};
const ConfigNumber kEngFlag = {kKeyEngFlag, 0, 3, 0};
const ConfigNumber kCheck1 = {kKeyCheck1, 0, 1, 0};
const ConfigNumber kCheck2 = {kKeyCheck2, 0, 1, 0};
const ConfigNumber kCheck3 = {kKeyCheck3, 0, 1, 0};
// A cue is a few announcements; the list's keys stay short decimal texts.
const ConfigNumber kNumberSound = {kKeyNumberSound, 0, 99, 0};

namespace {

// A whole entry that fills the reader's buffer may have been cut: it is taken
// for no number rather than for its first part.
bool ReadUncutEntry(const char *section, const char *key, char (&text)[TEXT_SIZE]) {
    ReadConfigText(section, key, nullptr, text, sizeof text);
    return strlen(text) < sizeof text - 1;
}

}  // namespace

int ReadConfigNumber(const char *section, const ConfigNumber &number) {
    char text[TEXT_SIZE];
    double value = 0.0;
    if (!ReadUncutEntry(section, number.key, text) || !ParseDecimal(text, &value)) return number.missing;
    if (!(value >= number.minimum && value <= number.maximum)) return number.missing;
    return static_cast<int>(value);
}

void ReadConfigText(const char *section, const char *key, const char *defaultText, char *buffer, DWORD size) {
    if (size == 0) return;
    buffer[0] = '\0';
    GetPrivateProfileStringA(section, key, defaultText ? defaultText : "", buffer, size, PushbackState.configPath);
    buffer[size - 1] = '\0';
}

bool WriteConfigText(const char *section, const char *key, const char *text) {
    return WritePrivateProfileStringA(section, key, text, PushbackState.configPath) != FALSE;
}

bool ReadConfigSwitch(const char *section, const ConfigNumber &number) { return ReadConfigNumber(section, number) == 1; }

bool WriteConfigSwitch(const char *section, const ConfigNumber &number, bool on) {
    return WriteConfigText(section, number.key, on ? "1" : "0");
}

namespace {

ConfigStore WriteMeasured(const char *section, const char *aircraftKey, double value) {
    char text[TEXT_SIZE];
    snprintf(text, sizeof text, "%f", value);
    return WriteConfigText(section, aircraftKey, text) ? CONFIG_STORED : CONFIG_NOT_WRITTEN;
}

}  // namespace

double ReadCorrection(const char *aircraftKey) {
    char text[TEXT_SIZE];
    double metres = 0.0;
    if (!ReadUncutEntry(kSectionPlaneCorrect, aircraftKey, text) || !ParseDecimal(text, &metres)) return 0.0;
    return IsCorrectionInRange(metres) ? metres : 0.0;
}

ConfigStore WriteCorrection(const char *aircraftKey, double metres) {
    // NaN fails the range test too.
    if (!IsCorrectionInRange(metres)) return CONFIG_OUT_OF_RANGE;
    return WriteMeasured(kSectionPlaneCorrect, aircraftKey, metres);
}

double ReadTurnRadius(const char *aircraftKey) {
    char text[TEXT_SIZE];
    double metres = 0.0;
    if (!ReadUncutEntry(kSectionPlaneRadius, aircraftKey, text) || !ParseDecimal(text, &metres)) return 0.0;
    return IsRadiusInRange(metres) ? metres : 0.0;
}

ConfigStore WriteTurnRadius(const char *aircraftKey, double metres) {
    // NaN fails the range test too.
    if (!IsRadiusInRange(metres)) return CONFIG_OUT_OF_RANGE;
    return WriteMeasured(kSectionPlaneRadius, aircraftKey, metres);
}

int RoundedCorrection(double metres) {
    // Keeps a wild value from overflowing the integer push distance.
    const double limit = 1.0e6;
    const double rounded = floor(metres + 0.5);
    if (!(rounded > -limit)) return rounded != rounded ? 0 : static_cast<int>(-limit);
    if (rounded > limit) return static_cast<int>(limit);
    return static_cast<int>(rounded);
}
