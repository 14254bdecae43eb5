#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "drawing/SpinnerAngle.h"

using halvet::advanceSpinnerAngle;

TEST(SpinnerAngleTest, ThirtyDegreeStepsRunUpTo360ThenStartAgainAt30) {
    float angle = 0.0f;
    for (int tick = 1; tick <= 12; ++tick) {
        angle = advanceSpinnerAngle(angle, 30.0f);
        EXPECT_FLOAT_EQ(angle, 30.0f * tick) << "tick " << tick;
    }
    EXPECT_FLOAT_EQ(advanceSpinnerAngle(angle, 30.0f), 30.0f);
}

TEST(SpinnerAngleTest, PassingAFullTurnTakesItOff) {
    EXPECT_FLOAT_EQ(advanceSpinnerAngle(350.0f, 30.0f), 20.0f);
    EXPECT_FLOAT_EQ(advanceSpinnerAngle(359.5f, 0.5f), 360.0f);
    EXPECT_FLOAT_EQ(advanceSpinnerAngle(360.0f, 0.25f), 0.25f);
}

// Steps the panel never uses stay in range too, so the angle cannot drift.
TEST(SpinnerAngleTest, LargeNegativeAndNonFiniteStepsStayInRange) {
    EXPECT_FLOAT_EQ(advanceSpinnerAngle(10.0f, 1000.0f), 290.0f);
    EXPECT_FLOAT_EQ(advanceSpinnerAngle(0.0f, 720.0f), 360.0f);
    EXPECT_FLOAT_EQ(advanceSpinnerAngle(10.0f, -30.0f), 340.0f);
    EXPECT_FLOAT_EQ(advanceSpinnerAngle(0.0f, -720.0f), 360.0f);
    float angle = 0.0f;
    for (int tick = 0; tick < 100000; ++tick) {
        angle = advanceSpinnerAngle(angle, -77.0f);
        ASSERT_GE(angle, 0.0f);
        ASSERT_LE(angle, 360.0f);
    }
    EXPECT_EQ(advanceSpinnerAngle(0.0f, std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_EQ(advanceSpinnerAngle(std::nanf(""), 30.0f), 0.0f);
}
