#include "config_values.h"

#include <stdlib.h>

const char kSectionPlaneCorrect[] = "PLANE_CORRECT";
const char kSectionPlaneRadius[] = "PLANE_RADIUS";

// Measured corrections are a few metres; one that long is no aircraft's roll
// before its turn but a damaged entry.
const double kCorrectionLimit = 100.0;

// A tug turns no aircraft tighter than a few metres, and a radius of hundreds
// of metres is a measurement that never really turned.
const double kRadiusMinimum = 3.0;
const double kRadiusMaximum = 200.0;

// NaN fails both range tests.
bool IsCorrectionInRange(double metres) { return metres >= -kCorrectionLimit && metres <= kCorrectionLimit; }
bool IsRadiusInRange(double metres) { return metres >= kRadiusMinimum && metres <= kRadiusMaximum; }

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

const char *SkipBlanks(const char *p) {
    while (IsBlank(*p)) ++p;
    return p;
}

const char *SkipDigits(const char *p) {
    while (IsDigit(*p)) ++p;
    return p;
}

}  // namespace

bool ParseDecimal(const char *text, double *value) {
    const char *p = SkipBlanks(text);
    const char *start = p;
    if (*p == '+' || *p == '-') ++p;
    const char *integer = p;
    p = SkipDigits(p);
    bool digits = p != integer;
    if (*p == '.') {
        const char *fraction = ++p;
        p = SkipDigits(p);
        digits = digits || p != fraction;
    }
    if (!digits) return false;
    if (*p == 'e' || *p == 'E') {
        const char *q = p + 1;
        if (*q == '+' || *q == '-') ++q;
        if (!IsDigit(*q)) return false;
        p = SkipDigits(q);
    }
    if (*SkipBlanks(p) != '\0') return false;
    *value = strtod(start, nullptr);
    return true;
}

bool ParseWholeNumber(const char *text, const ConfigNumber &number, int *value) {
    const char *p = SkipBlanks(text);
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    if (!IsDigit(*p)) return false;
    // Counted no further than just past the range, so no text overflows it.
    const long long beyond = static_cast<long long>(number.maximum) + 1;
    long long magnitude = 0;
    for (; IsDigit(*p); ++p)
        if (magnitude <= beyond) magnitude = magnitude * 10 + (*p - '0');
    if (*SkipBlanks(p) != '\0') return false;
    const long long whole = negative ? -magnitude : magnitude;
    if (whole < number.minimum || whole > number.maximum) return false;
    *value = static_cast<int>(whole);
    return true;
}
