#include "montecarlo/crankshaft.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "montecarlo/random.hpp"

namespace bw {
namespace {

double dist(const Point3& a, const Point3& b) {
    const double dx = double(a.x) - b.x, dy = double(a.y) - b.y, dz = double(a.z) - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

TEST(CrankshaftTest, QuarterTurnOfAnEquilateralCorner) {
    const Point3 prev{0.0f, 0.0f, 0.0f}, cur{0.5f, 0.8660254f, 0.0f}, next{1.0f, 0.0f, 0.0f};
    // Axis e = (1,0,0), midpoint (0.5,0,0), u = (0,1,0), w = u x e = (0,0,-1).
    Point3 T{};
    ASSERT_TRUE(crankshaft_trial(prev, cur, next, 1.5707964f, T));
    EXPECT_NEAR(T.x, 0.5f, 1e-7f);
    EXPECT_NEAR(T.y, 0.0f, 1e-7f);
    EXPECT_NEAR(T.z, -0.8660254f, 1e-7f);
    ASSERT_TRUE(crankshaft_trial(prev, cur, next, 0.0f, T));
    EXPECT_EQ(T.x, cur.x);
    EXPECT_EQ(T.y, cur.y);
    EXPECT_EQ(T.z, cur.z);
}

TEST(CrankshaftTest, DegenerateGeometryHasNoRotation) {
    Point3 T{7.0f, 7.0f, 7.0f};
    // Neighbours coincide: no axis.
    EXPECT_FALSE(crankshaft_trial({1, 0, 0}, {0, 1, 0}, {1, 0, 0}, 0.3f, T));
    // Bead on the midpoint of its neighbours: no radius.
    EXPECT_FALSE(crankshaft_trial({0, 0, 0}, {1, 0, 0}, {2, 0, 0}, 0.3f, T));
    EXPECT_EQ(T.x, 7.0f);
}

TEST(CrankshaftTest, KeepsBothBondLengthsForAnyAngle) {
    std::int32_t seed = 31;
    for (int k = 0; k < 1000; ++k) {
        float ax, ay, az, bx, by, bz;
        RANVEC(seed, ax, ay, az);
        RANVEC(seed, bx, by, bz);
        const Point3 prev{0.3f, -1.2f, 2.0f};
        const Point3 cur{prev.x + ax, prev.y + ay, prev.z + az};
        const Point3 next{cur.x + bx, cur.y + by, cur.z + bz};
        const float phi = (RAN(seed) - 0.5f) * 6.2831855f;
        Point3 T{};
        if (!crankshaft_trial(prev, cur, next, phi, T)) continue;
        EXPECT_NEAR(dist(T, prev), 1.0, 2e-5);
        EXPECT_NEAR(dist(T, next), 1.0, 2e-5);
        // The distance from the axis midpoint is kept too.
        const Point3 m{(next.x + prev.x) * 0.5f, (next.y + prev.y) * 0.5f, (next.z + prev.z) * 0.5f};
        EXPECT_NEAR(dist(T, m), dist(cur, m), 2e-5);
    }
}

}  // namespace
}  // namespace bw
