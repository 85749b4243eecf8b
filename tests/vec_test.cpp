// The vector helpers: operand order, signs, precision and the index rule.
#include <gtest/gtest.h>

#include <climits>

#include "mesh/vec.h"

#define EXPECT_VEC(got, wx, wy, wz)                                        \
    do {                                                                   \
        const Vec3f g = (got);                                             \
        EXPECT_TRUE(g.x == (wx) && g.y == (wy) && g.z == (wz))             \
            << #got << " = (" << g.x << ", " << g.y << ", " << g.z << ")"; \
    } while (0)

TEST(VecHelpers, CrossIsBCrossASubAndDeltaAreReversed) {
    EXPECT_VEC(vecCross({1, 0, 0}, {0, 1, 0}), 0, 0, -1);
    EXPECT_VEC(vecCross({0, 1, 0}, {1, 0, 0}), 0, 0, 1);
    EXPECT_VEC(vecCross({0, 0, 1}, {1, 0, 0}), 0, -1, 0);
    EXPECT_VEC(vecCross({1, 2, 3}, {4, 5, 6}), 3, -6, 3);
    EXPECT_VEC(vecCross({1, 2, 3}, {-2, -4, -6}), 0, 0, 0);
    // (1 + 2^-12)^2 - 1 = 2^-11 + 2^-24 fits a float; single-precision products would
    // lose the 2^-24.
    const float k = 1.0f + 0x1p-12f;
    EXPECT_VEC(vecCross({0, k, 1}, {0, 1, k}), -(0x1p-11f + 0x1p-24f), 0, 0);
    EXPECT_VEC(vecSub({1, 2, 3}, {0.5f, 0.5f, 0.5f}), 0.5f, 1.5f, 2.5f);
    EXPECT_VEC(vecDelta({1, 2, 3}, {0.5f, 0.5f, 0.5f}), -0.5f, -1.5f, -2.5f);
    EXPECT_VEC(vecSub({1, 0, 0}, {0x1p-30f, 0, 0}), 1, 0, 0);  // rounded to single
}

TEST(VecHelpers, WrapIndexSendsBeforeTheStartToMaxAndPastTheEndToZero) {
    const int32_t cases[][3] = {{-1, 50, 50},     {51, 50, 0},  {0, 50, 0},  {50, 50, 50},
                                {25, 50, 25},     {-7, 50, 50}, {60, 50, 0}, {INT_MIN, 50, 50},
                                {INT_MAX, 50, 0}, {-1, -5, -5}, {0, -5, 0},  {3, -5, 0}};
    for (const auto& c : cases) EXPECT_EQ(wrapIndex(c[0], c[1]), c[2]) << c[0] << ", " << c[1];
}
