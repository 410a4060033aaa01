// The precomputed geometry: the tube's running angle, the tunnel's sway and the intro's height
// field. The
// expected values were worked out separately, with every single-precision rounding done by
// hand.

#include <gtest/gtest.h>

#include <cmath>

#include "scenes/height_field.h"
#include "scenes/tunnel.h"
#include "scenes/tube.h"

namespace quarbtro {
namespace {

TEST(RunningAngle, SixtyFourSingleprecisionStepsFromZeroTo6Point3) {
    const std::vector<float> a = runningAngles();
    ASSERT_EQ(a.size(), 64u);
    EXPECT_EQ(a[0], 0.0f);
    EXPECT_EQ(a[1], 0.10000000149011612f);
    EXPECT_EQ(a[10], 1.0000001192092896f);
    EXPECT_EQ(a[63], 6.299996376037598f);  // the last step; the next, 6.3999963, is past 2 pi + 0.1
    const std::vector<RingStep>& steps = ringSteps();
    ASSERT_EQ(steps.size(), 64u);
    EXPECT_EQ(steps[0].sine, 0.0f);
    EXPECT_EQ(steps[0].cosine, 1.0f);
    EXPECT_FLOAT_EQ(steps[63].s, 6.299996376037598f / 6.283185307179586f);
    EXPECT_GT(steps[63].s, 1.0f) << "the last quad overlaps the first";
}

// At these clocks the sine of the single-precision quotient, taken in single precision, is a
// unit in the last place away from the double-precision sine rounded to single precision (the
// expected values), and the difference survives the amplitude.
TEST(TunnelSway, SineTakenInDoublePrecision) {
    EXPECT_EQ(swayDegrees(1813, 20, 50), 22.026342391967773f);  // sin(90.65000153) x 50
    EXPECT_EQ(swayDegrees(2616, 13, 7), 1.1763008832931519f);   // sin(201.23077393) x 7
}

TEST(HeightField, KnownCells) {
    computeHeightField();
    EXPECT_FLOAT_EQ(heightField[0][0], -18.723758697509766f);
    EXPECT_FLOAT_EQ(heightField[25][25], -3.9000000953674316f);  // -(4 cos 0 - 0.1)
    EXPECT_FLOAT_EQ(heightField[29][49], -15.664848327636719f);
    EXPECT_FLOAT_EQ(heightField[49][0], -18.07382583618164f);
}

TEST(HeightField, RidgeRowsAre21To29) {
    computeHeightField();
    EXPECT_FLOAT_EQ(heightField[20][10], -6.1053242683410645f);
    EXPECT_FLOAT_EQ(heightField[21][10], -7.7200751304626465f);
    EXPECT_FLOAT_EQ(heightField[30][25], -1.0125218629837036f);
    // Inside the ridge each cell is lower by a further 2 cos x than the bowl alone would give.
    for (int i = 0; i < heightFieldSize; ++i) {
        const float x = static_cast<float>(i - 25) / 4.7f;
        const float bowl = -(0.5f * (0.5f * x) * (0.5f * x) + 2 * std::cos(x) - 0.1f);
        const bool ridge = i >= 21 && i <= 29;
        EXPECT_NEAR(heightField[i][25], ridge ? bowl - 2 * std::cos(x) : bowl, 1e-5) << i;
    }
}

}  // namespace
}  // namespace quarbtro
