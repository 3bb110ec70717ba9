#include <gtest/gtest.h>

#include "driver/records/record_sink.hpp"
#include "hydro/frict.hpp"
#include "hydro/geomet.hpp"
#include "hydro/supmat.hpp"
#include "hydro/trv.hpp"
#include "hydro_test_support.hpp"

namespace bw {
namespace {

// Supermatrix of the model, inverted in place in bm.ap.
void invert_supermatrix(test::BeadModel& bm, std::int32_t IND, HydroWorkspace& ws) {
    SUPMAT(bm.ap.data(), IND, bm.view(), bm.N, bm.rad.data());
    INVSTO_D(3 * bm.N, bm.ap.data(), ws);
    ASSERT_EQ(ws.INFO1, 0);
    ASSERT_EQ(ws.INFO2, 0);
}

FrictionSums two_bead_sums(float dist, std::int32_t IND) {
    test::BeadModel bm({{0.0f, 0.0f, 0.0f}, {dist, 0.0f, 0.0f}});
    HydroWorkspace ws;
    invert_supermatrix(bm, IND, ws);
    return friction_sums(bm.ap.data(), bm.view(), bm.N);
}

TEST(friction, two_bead_tensors_about_the_origin) {
    const FrictionSums f = two_bead_sums(1.0f, IND_RPY);
    EXPECT_NEAR(f.FTT(0, 0), 0.375587f, 1e-6);
    EXPECT_NEAR(f.FTT(1, 1), 0.427892f, 1e-6);
    EXPECT_NEAR(f.FTT(2, 2), 0.427892f, 1e-6);
    EXPECT_NEAR(f.FRT(2, 1), 0.213946f, 1e-6);
    EXPECT_NEAR(f.FRT(1, 2), -0.213946f, 1e-6);
    EXPECT_EQ(f.FRR(0, 0), 0.0f);
    EXPECT_NEAR(f.FRR(1, 1), 0.267847f, 1e-6);
    EXPECT_NEAR(f.FRR(2, 2), 0.267847f, 1e-6);
    for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l) {
            if (k != l) {
                EXPECT_EQ(f.FTT(k, l), 0.0f);
                EXPECT_EQ(f.FRR(k, l), 0.0f);
            }
            if (!((k == 2 && l == 1) || (k == 1 && l == 2))) {
                EXPECT_EQ(f.FRT(k, l), 0.0f);
            }
        }
}

TEST(friction, two_bead_inverse_with_trace_regularisation) {
    HydroWorkspace ws;
    CapturingSink sink;
    friction_inverse(0, two_bead_sums(1.0f, IND_RPY), ws, sink);
    EXPECT_TRUE(sink.records.empty());
    EXPECT_NEAR(ws.DTT(0, 0), 2.6625f, 5e-5);
    EXPECT_NEAR(ws.DTT(1, 1), 3.8905f, 5e-5);
    EXPECT_NEAR(ws.DTT(2, 2), 3.8905f, 5e-5);
    // FRR(1,1) is exactly 0 before the correction: 1 / (1e-4 * 0.535694).
    EXPECT_NEAR(ws.DRR(0, 0), 18667.0f, 1.0f);
    EXPECT_NEAR(ws.DRR(1, 1), 6.214f, 5e-4);
    EXPECT_NEAR(ws.DRR(2, 2), 6.214f, 5e-4);
    EXPECT_NEAR(ws.DRT(1, 2), 3.107f, 5e-4);
    EXPECT_NEAR(ws.DRT(2, 1), -3.107f, 5e-4);
    EXPECT_NEAR(ws.DRT(0, 0), 0.0f, 1e-6);
}

TEST(friction, translational_friction_by_interaction_and_distance) {
    EXPECT_NEAR(two_bead_sums(1.0f, IND_OSEEN).FTT(0, 0), 0.370985f, 1e-6);
    EXPECT_NEAR(two_bead_sums(1.0f, IND_NONE).FTT(0, 0), 0.514f, 1e-6);
    EXPECT_NEAR(two_bead_sums(0.4f, IND_RPY).FTT(0, 0), 0.300907f, 1e-6);
}

TEST(friction, single_bead_needs_the_volume_correction) {
    test::BeadModel bm({{0.0f, 0.0f, 0.0f}}, 0.5f);
    HydroWorkspace ws;
    invert_supermatrix(bm, IND_RPY, ws);
    CapturingSink sink;
    FRICT(0, bm.ap.data(), bm.view(), bm.N, ws, sink);
    EXPECT_EQ(sink.records, std::vector<std::string>{" ********** F66 IS SINGULAR"});

    // IVCROT = 1: FRR = VOLUME/pi I = (4/3) a^3 I, FTT = a I.
    NullSink quiet;
    GEOMET(0, 0, bm.view(), bm.N, bm.rad.data(), ws, quiet);
    CapturingSink sink2;
    FRICT(1, bm.ap.data(), bm.view(), bm.N, ws, sink2);
    EXPECT_TRUE(sink2.records.empty());
    for (int k = 0; k < 3; ++k) {
        EXPECT_FLOAT_EQ(ws.DTT(k, k), 2.0f);          // 1/a
        EXPECT_FLOAT_EQ(ws.DRR(k, k), 3.0f / 0.5f);   // 3/(4 a^3)
    }
}

TEST(friction, shift_keeps_translational_and_changes_rotational_tensor) {
    const std::vector<Vec3> pos = {{0.0f, 0.0f, 0.0f}, {1.0f, 0.5f, 0.0f}, {1.5f, 1.0f, 0.75f}};
    std::vector<Vec3> moved = pos;
    for (auto& p : moved) p = {p[0] + 3.0f, p[1] - 2.0f, p[2] + 1.0f};
    test::BeadModel a(pos), b(moved);
    HydroWorkspace ws;
    invert_supermatrix(a, IND_RPY, ws);
    invert_supermatrix(b, IND_RPY, ws);
    const FrictionSums fa = friction_sums(a.ap.data(), a.view(), a.N);
    const FrictionSums fb = friction_sums(b.ap.data(), b.view(), b.N);
    EXPECT_EQ(fa.FTT.a, fb.FTT.a);  // the same differences, the same supermatrix
    EXPECT_GT(std::fabs(fa.FRT(0, 1) - fb.FRT(0, 1)), 0.1f);
    EXPECT_GT(std::fabs(fa.FRR(0, 0) - fb.FRR(0, 0)), 0.1f);
}

}  // namespace
}  // namespace bw
