#include "ground_distance.h"

#include <math.h>

#include "../core/state.h"

double GroundDistance(double latitude, double longitude) {
    const double pi = atan(1.0) * 4.0;
    const double halfPi = pi * 0.5;
    const double colatitude = halfPi - latitude;
    const double refColatitude = halfPi - PushbackState.refLatitude;
    const double refLongitude = PushbackState.refLongitude;

    const double t1 = sin(longitude) * sin(colatitude) * (sin(refLongitude) * sin(refColatitude));
    const double t2 = cos(longitude) * sin(colatitude) * (cos(refLongitude) * sin(refColatitude));
    double u = cos(colatitude) * cos(refColatitude) + (t2 + t1);
    // Rounding can carry the cosine just past 1 next to the reference point,
    // where the arcsine below has no real value.
    if (u > 1.0)
        u = 1.0;
    else if (u < -1.0)
        u = -1.0;

    const double arcsine = atan(u / sqrt(1.0 - u * u));
    const double degrees = arcsine / pi * 180.0;
    return (90.0 - degrees) * 60.0 * 1852.0;
}

double HeadingDegrees(double heading) { return heading / acos(-1.0) * 180.0; }

double HeadingDifference(double first, double second) {
    double difference = fmod(fabs(first - second), 360.0);
    if (difference > 180.0) difference = 360.0 - difference;
    return difference;
}
