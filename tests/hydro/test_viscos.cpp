#include <gtest/gtest.h>

#include <cmath>

#include "driver/records/record_sink.hpp"
#include "hydro/frict.hpp"
#include "hydro/supmat.hpp"
#include "hydro/trv.hpp"
#include "hydro/viscos.hpp"
#include "hydro_test_support.hpp"

namespace bw {
namespace {

// Packed matrix with S_II = a I and no coupling between beads.
void uncoupled(test::BeadModel& bm, float a) {
    std::fill(bm.ap.begin(), bm.ap.end(), 0.0f);
    for (std::int64_t p = 0; p < 3 * bm.N; ++p) bm.ap[packed_index(p, p)] = a;
}

TEST(viscosity, single_bead_has_centre_on_bead_and_zero_viscosity) {
    test::BeadModel bm({{1.5f, -2.0f, 0.25f}});
    uncoupled(bm, 0.257f);
    HydroWorkspace ws;
    ws.VOLUME = 0.4f;
    ws.res.DT = 1.0f;
    CapturingSink sink;
    VISCOS(0, 0, bm.ap.data(), bm.coord.data(), bm.LDC, bm.N, ws, sink);
    EXPECT_TRUE(sink.records.empty());
    EXPECT_FLOAT_EQ(ws.res.VISCEN[0], 1.5f);
    EXPECT_FLOAT_EQ(ws.res.VISCEN[1], -2.0f);
    EXPECT_FLOAT_EQ(ws.res.VISCEN[2], 0.25f);
    EXPECT_EQ(ws.res.ETA, 0.0f);

    VISCOS(1, 0, bm.ap.data(), bm.coord.data(), bm.LDC, bm.N, ws, sink);
    EXPECT_FLOAT_EQ(ws.res.ETA, 2.5f * 0.4f);
}

TEST(viscosity, uncoupled_dumbbell_sums_and_viscosity) {
    const float a = 0.5f, d = 2.0f;
    test::BeadModel bm({{2.0f, 1.0f, -1.0f}, {2.0f + d, 1.0f, -1.0f}});
    uncoupled(bm, a);
    NullSink sink;
    const Vec3 c = viscosity_centre(viscosity_centre_sums(bm.ap.data(), bm.view(), bm.N), sink);
    EXPECT_FLOAT_EQ(c[0], 3.0f);
    EXPECT_FLOAT_EQ(c[1], 1.0f);
    EXPECT_FLOAT_EQ(c[2], -1.0f);

    test::BeadModel centred({{-d / 2, 0.0f, 0.0f}, {d / 2, 0.0f, 0.0f}});
    uncoupled(centred, a);
    const ViscositySums v = viscosity_sums(centred.ap.data(), centred.view(), centred.N);
    EXPECT_DOUBLE_EQ(v.VSUM1, a * d * d / 2);
    EXPECT_DOUBLE_EQ(v.VSUM2, 0.0);
    EXPECT_DOUBLE_EQ(v.VSUM3, 0.0);
    EXPECT_DOUBLE_EQ(v.VSUM4, a * d * d);

    HydroWorkspace ws;
    VISCOS(0, 0, bm.ap.data(), bm.coord.data(), bm.LDC, bm.N, ws, sink);
    EXPECT_FLOAT_EQ(ws.res.ETA, 18.84954f * a * d * d / 12.0f);
}

TEST(viscosity, prints_centre_viscosity_and_scheraga_mandelkern_parameter) {
    test::BeadModel bm({{2.0f, 1.0f, -1.0f}, {4.0f, 1.0f, -1.0f}});
    uncoupled(bm, 0.5f);
    HydroWorkspace ws;
    ws.res.DT = 0.25f;
    CapturingSink sink;
    VISCOS(0, 1, bm.ap.data(), bm.coord.data(), bm.LDC, bm.N, ws, sink);
    ASSERT_EQ(sink.records.size(), 6u);
    EXPECT_EQ(sink.records[0], "");
    EXPECT_EQ(sink.records[1], " VISCOSITY CENTER       3.0000    1.0000   -1.0000");
    EXPECT_EQ(sink.records[2], "");
    EXPECT_EQ(sink.records[3], " INTRINSIC VISCOSITY    3.142D+00");  // 18.84954 * 0.5 * 4 / 12
    EXPECT_EQ(sink.records[4], "");
    const std::string& sm = sink.records[5];
    const std::string label = " SCHERAGA-MANDELKERN PARAMETER   ";
    ASSERT_EQ(sm.size(), label.size() + 15);
    EXPECT_EQ(sm.substr(0, label.size()), label);
    const double eta = 18.84954 * 0.5 * 4.0 / 12.0;
    const double smpar = std::cbrt(eta * 6.023e23 / 100.0) * 0.25 / 18.84954;
    EXPECT_NEAR(test::read_d_field(sm.substr(label.size())), smpar, 1e-4 * smpar);
}

TEST(viscosity, singular_coefficient_matrix_is_reported) {
    test::BeadModel bm({{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}});
    uncoupled(bm, 0.0f);
    HydroWorkspace ws;
    CapturingSink sink;
    VISCOS(0, 0, bm.ap.data(), bm.coord.data(), bm.LDC, bm.N, ws, sink);
    EXPECT_EQ(sink.records, (std::vector<std::string>{"", " ********** COEF IS SINGULAR. SPIN CALLED IN VISCOS"}));
}

// A realistic inverted supermatrix of a random chain.
test::BeadModel inverted_chain(std::int32_t n, unsigned seed) {
    test::BeadModel bm(test::random_walk(n, seed), 0.257f, 100);
    SUPMAT(bm.ap.data(), IND_RPY, bm.view(), bm.N, bm.rad.data());
    HydroWorkspace ws;
    INVSTO_D(3 * n, bm.ap.data(), ws);
    EXPECT_EQ(ws.INFO1, 0);
    return bm;
}

TEST(viscosity, coordinates_come_back_as_they_went_in) {
    test::BeadModel bm = inverted_chain(12, 4);
    for (std::int32_t i = 0; i < bm.N; ++i) bm.x(i, 0) += 123.456f;
    for (std::int32_t i = bm.N; i < bm.LDC; ++i) bm.x(i, 1) = 99.0f;  // rows beyond N
    const std::vector<float> before = bm.coord;
    HydroWorkspace ws;
    NullSink sink;
    VISCOS(0, 0, bm.ap.data(), bm.coord.data(), bm.LDC, bm.N, ws, sink);
    for (std::size_t e = 0; e < before.size(); ++e)
        EXPECT_NEAR(bm.coord[e], before[e], 1e-5f * (1.0f + std::fabs(before[e])));
    for (std::int32_t i = bm.N; i < bm.LDC; ++i) EXPECT_EQ(bm.x(i, 1), 99.0f);
}

TEST(viscosity, centre_moves_and_rotates_with_the_model_and_viscosity_is_invariant) {
    test::BeadModel bm = inverted_chain(8, 9);
    HydroWorkspace ws;
    NullSink sink;
    VISCOS(0, 0, bm.ap.data(), bm.coord.data(), bm.LDC, bm.N, ws, sink);
    const Vec3 c0 = ws.res.VISCEN;
    const float eta0 = ws.res.ETA;
    ASSERT_GT(eta0, 0.0f);

    // Same blocks, every bead shifted by t.
    const Vec3 t = {0.75f, -1.25f, 2.5f};
    test::BeadModel moved = bm;
    for (std::int32_t i = 0; i < bm.N; ++i)
        for (int m = 0; m < 3; ++m) moved.x(i, m) += t[m];
    VISCOS(0, 0, moved.ap.data(), moved.coord.data(), moved.LDC, moved.N, ws, sink);
    for (int m = 0; m < 3; ++m) EXPECT_NEAR(ws.res.VISCEN[m], c0[m] + t[m], 1e-4);
    EXPECT_NEAR(ws.res.ETA, eta0, 1e-4 * eta0);

    // Positions rotated by R, every block replaced by R S R^T.
    const double th = 0.7, ph = -0.4;
    const double R[3][3] = {{std::cos(th), -std::sin(th) * std::cos(ph), std::sin(th) * std::sin(ph)},
                            {std::sin(th), std::cos(th) * std::cos(ph), -std::cos(th) * std::sin(ph)},
                            {0.0, std::sin(ph), std::cos(ph)}};
    test::BeadModel rot = bm;
    for (std::int32_t i = 0; i < bm.N; ++i)
        for (int k = 0; k < 3; ++k) {
            double s = 0.0;
            for (int m = 0; m < 3; ++m) s += R[k][m] * bm.x(i, m);
            rot.x(i, k) = static_cast<float>(s);
        }
    for (std::int32_t I = 0; I < bm.N; ++I)
        for (std::int32_t J = 0; J < bm.N; ++J) {
            const Mat3 S = GETBLK(I, J, bm.ap.data());
            for (int k = 0; k < 3; ++k)
                for (int l = 0; l < 3; ++l) {
                    double s = 0.0;
                    for (int m = 0; m < 3; ++m)
                        for (int n = 0; n < 3; ++n) s += R[k][m] * S(m, n) * R[l][n];
                    rot.ap[packed_index(3 * I + k, 3 * J + l)] = static_cast<float>(s);
                }
        }
    VISCOS(0, 0, rot.ap.data(), rot.coord.data(), rot.LDC, rot.N, ws, sink);
    for (int k = 0; k < 3; ++k) {
        double s = 0.0;
        for (int m = 0; m < 3; ++m) s += R[k][m] * c0[m];
        EXPECT_NEAR(ws.res.VISCEN[k], s, 1e-4);
    }
    EXPECT_NEAR(ws.res.ETA, eta0, 1e-4 * eta0);
}

}  // namespace
}  // namespace bw
