#include <gtest/gtest.h>
#include <math.h>

#include "core/state.h"
#include "pushback/ground_distance.h"

namespace {

const double kPi = acos(-1.0);
const double kMinute = kPi / 180.0 / 60.0;

double DistanceBetween(double lat0, double lon0, double lat, double lon) {
    PushbackState.refLatitude = lat0;
    PushbackState.refLongitude = lon0;
    return GroundDistance(lat, lon);
}

TEST(GroundDistance, OneMinuteOfLatitudeIsOneNauticalMile) {
    EXPECT_NEAR(1852.0, DistanceBetween(0.3, 0.1, 0.3 + kMinute, 0.1), 1e-3);
    EXPECT_NEAR(60 * 1852.0, DistanceBetween(-0.2, 2.0, -0.2 + 60 * kMinute, 2.0), 1e-3);
}

TEST(GroundDistance, IsSymmetric) {
    const double there = DistanceBetween(0.71, -1.2, 0.7101, -1.1995);
    const double back = DistanceBetween(0.7101, -1.1995, 0.71, -1.2);
    EXPECT_GT(there, 100.0);
    EXPECT_NEAR(there, back, 1e-6);
}

TEST(GroundDistance, CoincidingPointsGiveZeroNeverNaN) {
    EXPECT_EQ(0.0, DistanceBetween(0.0, 0.0, 0.0, 0.0));
    // Points where rounding carries the cosine past 1 without the clamp.
    for (double lat = -1.5; lat <= 1.5; lat += 0.0137)
        for (double lon = -3.1; lon <= 3.1; lon += 0.173) {
            const double d = DistanceBetween(lat, lon, lat, lon);
            ASSERT_FALSE(isnan(d)) << "at " << lat << "," << lon;
            ASSERT_LT(d, 0.5) << "at " << lat << "," << lon;
            const double next = GroundDistance(nextafter(lat, 2.0), lon);
            ASSERT_FALSE(isnan(next)) << "next to " << lat << "," << lon;
        }
}

TEST(HeadingDegrees, ConvertsRadians) {
    EXPECT_EQ(90.0, HeadingDegrees(kPi / 2));
    EXPECT_EQ(0.0, HeadingDegrees(0.0));
    EXPECT_NEAR(359.5, HeadingDegrees(359.5 / 180.0 * kPi), 1e-9);
}

TEST(HeadingDifference, IsTheSmallerWayRound) {
    EXPECT_NEAR(0.8, HeadingDifference(359.5, 0.3), 1e-9);
    EXPECT_NEAR(0.5, HeadingDifference(0.5, 360.0), 1e-9);
    EXPECT_NEAR(20.0, HeadingDifference(350.0, 10.0), 1e-9);
    EXPECT_EQ(180.0, HeadingDifference(90.0, 270.0));
    EXPECT_EQ(1.0, HeadingDifference(91.0, 90.0));
    EXPECT_TRUE(isnan(HeadingDifference(NAN, 90.0))) << "NaN must meet no threshold";
}

}  // namespace
