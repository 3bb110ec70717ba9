#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "driver/records/record_sink.hpp"
#include "hydro/rotrel.hpp"

namespace bw {
namespace {

HydroWorkspace rotrel_of(const Mat3& drr, std::int32_t IP = 0) {
    HydroWorkspace ws;
    ws.DRR = drr;
    NullSink sink;
    ROTREL(IP, ws, sink);
    return ws;
}

void expect_rates(const HydroResults& r, std::array<double, 5> want) {
    for (int k = 0; k < 5; ++k) {
        EXPECT_NEAR(r.RCONST[k], want[k], 2e-5 * want[k]) << k;
        EXPECT_NEAR(r.RTIME[k], 1.0 / want[k], 2e-5 / want[k]) << k;
    }
}

TEST(rotrel, three_distinct_eigenvalues) {
    const HydroWorkspace ws = rotrel_of(diag3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(ws.IERRD, 0);
    EXPECT_NEAR(ws.res.DREIG[0], 1.0f, 1e-5);
    EXPECT_NEAR(ws.res.DREIG[1], 2.0f, 1e-5);
    EXPECT_NEAR(ws.res.DREIG[2], 3.0f, 1e-5);
    EXPECT_FLOAT_EQ(ws.res.DRMEAN, 2.0f);
    EXPECT_NEAR(ws.res.DELTA, std::sqrt(3.0), 1e-5);
    expect_rates(ws.res, {12.0 - 2.0 * std::sqrt(3.0), 9.0, 12.0, 15.0, 12.0 + 2.0 * std::sqrt(3.0)});
}

TEST(rotrel, double_and_triple_roots_take_the_degenerate_branch) {
    const HydroWorkspace d = rotrel_of(diag3(2.0f, 2.0f, 5.0f));
    EXPECT_EQ(d.IERRD, 0);
    EXPECT_FLOAT_EQ(d.res.DREIG[0], 2.0f);
    EXPECT_FLOAT_EQ(d.res.DREIG[1], 2.0f);
    EXPECT_FLOAT_EQ(d.res.DREIG[2], 5.0f);
    EXPECT_FLOAT_EQ(d.res.DELTA, 3.0f);
    expect_rates(d.res, {12.0, 15.0, 15.0, 24.0, 24.0});

    const HydroWorkspace t = rotrel_of(diag3(3.0f, 3.0f, 3.0f));
    EXPECT_EQ(t.IERRD, 0);
    for (float e : t.res.DREIG) EXPECT_FLOAT_EQ(e, 3.0f);
    EXPECT_EQ(t.res.DELTA, 0.0f);
    expect_rates(t.res, {18.0, 18.0, 18.0, 18.0, 18.0});
}

TEST(rotrel, eigenvalues_ascend_and_sum_to_the_trace) {
    std::mt19937 gen(23);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int trial = 0; trial < 50; ++trial) {
        Mat3 g;
        for (auto& v : g.a) v = u(gen);
        Mat3 s;  // g g^T + 0.1 I: symmetric positive definite
        for (int k = 0; k < 3; ++k)
            for (int l = 0; l < 3; ++l) {
                float t = 0.0f;
                for (int m = 0; m < 3; ++m) t += g(k, m) * g(l, m);
                s(k, l) = t + (k == l ? 0.1f : 0.0f);
            }
        const HydroWorkspace ws = rotrel_of(s);
        ASSERT_EQ(ws.IERRD, 0) << trial;
        EXPECT_LE(ws.res.DREIG[0], ws.res.DREIG[1]);
        EXPECT_LE(ws.res.DREIG[1], ws.res.DREIG[2]);
        EXPECT_NEAR(ws.res.DREIG[0] + ws.res.DREIG[1] + ws.res.DREIG[2], 3.0f * ws.res.DRMEAN,
                    1e-4f * (1.0f + ws.res.DRMEAN));
        // Each eigenvalue makes s - lambda I singular.
        for (float lam : ws.res.DREIG) {
            Mat3 a = s;
            for (int k = 0; k < 3; ++k) a(k, k) -= lam;
            const double det = double(a(0, 0)) * (double(a(1, 1)) * a(2, 2) - double(a(1, 2)) * a(2, 1)) -
                               double(a(0, 1)) * (double(a(1, 0)) * a(2, 2) - double(a(1, 2)) * a(2, 0)) +
                               double(a(0, 2)) * (double(a(1, 0)) * a(2, 1) - double(a(1, 1)) * a(2, 0));
            EXPECT_NEAR(det, 0.0, 1e-3) << trial;
        }
    }
}

TEST(rotrel, only_the_upper_triangle_is_read) {
    Mat3 s = diag3(1.0f, 2.0f, 3.0f);
    s(0, 1) = 0.5f;
    s(1, 0) = 0.5f;
    Mat3 upper = s;
    upper(1, 0) = -7.0f;  // ignored
    const HydroWorkspace a = rotrel_of(s), b = rotrel_of(upper);
    EXPECT_EQ(a.res.DREIG, b.res.DREIG);
    EXPECT_EQ(a.res.RCONST, b.res.RCONST);
}

TEST(rotrel, prints_eigenvalues_rates_and_times) {
    HydroWorkspace ws;
    ws.DRR = diag3(1.0f, 2.0f, 3.0f);
    CapturingSink sink;
    ROTREL(1, ws, sink);
    const std::vector<std::string> want = {
        "",
        " EIGENVALUES OF THE ROTATIONAL DIFFUSION TENSOR",
        "   1.00000   2.00000   3.00000",
        "",
        " TRACE OF ROT.DIF.TEN.=   2.00000",
        " ANISOTROPY OF ROT.DIF.TEN.=   1.73205",
        "",
        " RELAXATION CONSTANSTS ",
        // 11X, then per index 6X, I2, 4X
        " INDEX" + std::string(18, ' ') + "1" + std::string(11, ' ') + "2" + std::string(11, ' ') + "3" +
            std::string(11, ' ') + "4" + std::string(11, ' ') + "5" + std::string(4, ' '),
        std::string(18, ' ') + "   6D-2DEL      3D+3D1      3D+3D2      3D+3D3     6D+2DEL",
        " ROTATIONAL CONST     8.53590     9.00000    12.00000    15.00000    15.46410",
        " RELAXATION TIMES     0.11715     0.11111     0.08333     0.06667     0.06467",
    };
    EXPECT_EQ(sink.records, want);
}

}  // namespace
}  // namespace bw
