// What Drovana.cfg's per-aircraft values may hold, apart from reading the
// file: the add-on reads them through its profile functions, and the map
// program's report reads the same values for every aircraft at once.
#ifndef DROVANA_ADDON_CORE_CONFIG_VALUES_H
#define DROVANA_ADDON_CORE_CONFIG_VALUES_H

extern const char kSectionPlaneCorrect[];  // "PLANE_CORRECT"
extern const char kSectionPlaneRadius[];   // "PLANE_RADIUS"

// Metres either way: a correction outside it is read as none and never stored.
extern const double kCorrectionLimit;
bool IsCorrectionInRange(double metres);

// A measured turn radius outside the range reads as "not measured".
extern const double kRadiusMinimum;
extern const double kRadiusMaximum;
bool IsRadiusInRange(double metres);

// A number the add-on reads from Drovana.cfg: its key, the range its value
// must lie in, and what a missing value gives. A value that is no decimal
// number, or lies outside the range, counts as missing: a typo or a damaged
// file must never steer a pushback. The dialog refuses what the reader would
// not take, from the same table.
struct ConfigNumber {
    const char *key;
    int minimum;
    int maximum;
    int missing;
};

// True when the text, blanks around it aside, is a decimal number: a sign,
// digits with an optional fraction, an optional exponent. "inf", "nan",
// hexadecimal and trailing letters ("5O") are no number.
bool ParseDecimal(const char *text, double *value);

// True when the text, blanks around it aside, is a whole number written in
// digits (an optional sign) within the number's range.
bool ParseWholeNumber(const char *text, const ConfigNumber &number, int *value);

#endif
