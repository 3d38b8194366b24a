#include "config.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "state.h"

const char kSectionData[] = "Data";
const char kSectionPlaneCorrect[] = "PLANE_CORRECT";
const char kSectionParking[] = "Parking";

const char kKeyHead[] = "Head";
const char kKeyDistance[] = "Distance";
const char kKeyWavFlag[] = "WavFlag";
const char kKeyEngFlag[] = "EngFlag";
const char kKeyCheck1[] = "Check1";
const char kKeyCheck2[] = "Check2";
const char kKeyCheck3[] = "Check3";
const char kKeyNumberSound[] = "Number_Sound";

int ReadConfigInt(const char *section, const char *key, int defaultValue) {
    return static_cast<int>(GetPrivateProfileIntA(section, key, defaultValue, PushbackState.configPath));
}

void ReadConfigText(const char *section, const char *key, const char *defaultText, char *buffer, DWORD size) {
    if (size == 0) return;
    buffer[0] = '\0';
    GetPrivateProfileStringA(section, key, defaultText ? defaultText : "", buffer, size, PushbackState.configPath);
    buffer[size - 1] = '\0';
}

void WriteConfigText(const char *section, const char *key, const char *text) {
    WritePrivateProfileStringA(section, key, text, PushbackState.configPath);
}

bool ReadConfigSwitch(const char *section, const char *key) { return ReadConfigInt(section, key, 0) == 1; }

void WriteConfigSwitch(const char *section, const char *key, bool on) { WriteConfigText(section, key, on ? "1" : "0"); }

namespace {

// strtod also takes "inf", "nan" and hexadecimal; a hand-edited file must give
// only what its leading decimal number says.
double LeadingDecimal(const char *text) {
    const char *p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
    const char *digits = (*p == '+' || *p == '-') ? p + 1 : p;
    const bool startsDecimal = (*digits >= '0' && *digits <= '9') || (*digits == '.' && digits[1] >= '0' && digits[1] <= '9');
    if (!startsDecimal) return 0.0;
    if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) return 0.0;
    return strtod(p, NULL);
}

}  // namespace

double ReadCorrection(const char *aircraftKey) {
    char text[TEXT_SIZE];
    ReadConfigText(kSectionPlaneCorrect, aircraftKey, "", text, sizeof text);
    return LeadingDecimal(text);
}

void WriteCorrection(const char *aircraftKey, double metres) {
    char text[TEXT_SIZE];
    snprintf(text, sizeof text, "%f", metres);
    WriteConfigText(kSectionPlaneCorrect, aircraftKey, text);
}

int RoundedCorrection(double metres) {
    // Keeps a wild hand-edited value from overflowing the integer push distance.
    const double limit = 1.0e6;
    const double rounded = floor(metres + 0.5);
    if (!(rounded > -limit)) return rounded != rounded ? 0 : static_cast<int>(-limit);
    if (rounded > limit) return static_cast<int>(limit);
    return static_cast<int>(rounded);
}
