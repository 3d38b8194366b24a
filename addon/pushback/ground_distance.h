// Distances on the ground and headings, from the snapshot's radians.
#ifndef DROVANA_ADDON_PUSHBACK_GROUND_DISTANCE_H
#define DROVANA_ADDON_PUSHBACK_GROUND_DISTANCE_H

// Metres from the reference point (refLatitude, refLongitude) to the position,
// on a sphere where one minute of arc is one nautical mile of 1852 m.
double GroundDistance(double latitude, double longitude);

// Radians to degrees; not normalised.
double HeadingDegrees(double heading);

// The angle between two headings in degrees, the smaller way round the
// circle, in [0, 180]. A NaN input gives NaN, which meets no threshold.
double HeadingDifference(double first, double second);

#endif
