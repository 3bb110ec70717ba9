#include <gtest/gtest.h>

#include <random>

#include "driver/records/record_sink.hpp"
#include "hydro/resdif.hpp"

namespace bw {
namespace {

Mat3 random_spd(std::mt19937& gen) {
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    Mat3 g;
    for (auto& v : g.a) v = u(gen);
    Mat3 s;
    for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l) {
            float t = 0.0f;
            for (int m = 0; m < 3; ++m) t += g(k, m) * g(l, m);
            s(k, l) = t + (k == l ? 1.0f : 0.0f);
        }
    return s;
}

TEST(resdif, symmetric_coupling_puts_centre_at_origin) {
    std::mt19937 gen(11);
    HydroWorkspace ws;
    ws.DTT = random_spd(gen);
    ws.DRR = random_spd(gen);
    ws.DRT = random_spd(gen);  // symmetric
    NullSink sink;
    RESDIF(0, ws, sink);
    for (int m = 0; m < 3; ++m) EXPECT_EQ(ws.res.DIFCEN[m], 0.0f);
    EXPECT_EQ(ws.res.DTTC.a, ws.DTT.a);
    EXPECT_EQ(ws.res.DCPC.a, ws.DRT.a);
    EXPECT_FLOAT_EQ(ws.res.DT, (ws.DTT(0, 0) + ws.DTT(1, 1) + ws.DTT(2, 2)) / 3.0f);
    EXPECT_FLOAT_EQ(ws.res.FT, 1.0f / ws.res.DT);
}

TEST(resdif, diagonal_rotational_tensor_gives_explicit_centre) {
    HydroWorkspace ws;
    ws.DTT = diag3(1.0f, 1.0f, 1.0f);
    ws.DRR = diag3(1.0f, 2.0f, 4.0f);
    // Antisymmetric parts: VCOEF = (1, 2, 3).
    ws.DRT(1, 2) = 0.5f;
    ws.DRT(2, 1) = -0.5f;
    ws.DRT(2, 0) = 1.0f;
    ws.DRT(0, 2) = -1.0f;
    ws.DRT(0, 1) = 1.5f;
    ws.DRT(1, 0) = -1.5f;
    NullSink sink;
    RESDIF(0, ws, sink);
    EXPECT_FLOAT_EQ(ws.res.DIFCEN[0], 1.0f / 6.0f);  // / (d2 + d3)
    EXPECT_FLOAT_EQ(ws.res.DIFCEN[1], 2.0f / 5.0f);  // / (d1 + d3)
    EXPECT_FLOAT_EQ(ws.res.DIFCEN[2], 3.0f / 3.0f);  // / (d1 + d2)
    for (int k = 0; k < 3; ++k)
        for (int l = 0; l < k; ++l) EXPECT_NEAR(ws.res.DCPC(k, l), ws.res.DCPC(l, k), 1e-6);
}

TEST(resdif, coupling_about_the_centre_is_symmetric) {
    std::mt19937 gen(5);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int trial = 0; trial < 20; ++trial) {
        HydroWorkspace ws;
        ws.DTT = random_spd(gen);
        ws.DRR = random_spd(gen);
        for (auto& v : ws.DRT.a) v = u(gen);
        NullSink sink;
        RESDIF(0, ws, sink);
        for (int k = 0; k < 3; ++k)
            for (int l = 0; l < k; ++l) EXPECT_NEAR(ws.res.DCPC(k, l), ws.res.DCPC(l, k), 2e-5) << trial;
    }
}

TEST(resdif, singular_rotational_tensor_is_reported_and_run_goes_on) {
    HydroWorkspace ws;
    ws.DTT = diag3(1.0f, 1.0f, 1.0f);
    CapturingSink sink;
    RESDIF(0, ws, sink);
    EXPECT_EQ(sink.records, std::vector<std::string>{" ********** QQ IS SINGULAR. 2ND CALL IN RESDIF"});
    EXPECT_FLOAT_EQ(ws.res.DT, 1.0f);
}

TEST(resdif, prints_centre_tensors_and_coefficients) {
    HydroWorkspace ws;
    ws.DTT = diag3(1.0f, 2.0f, 3.0f);
    ws.DRR = diag3(1.0f, 1.0f, 1.0f);
    CapturingSink sink;
    RESDIF(1, ws, sink);
    const std::string z = "        0.000000";
    const std::string one = "        1.000000";
    const std::vector<std::string> want = {
        "",
        " CENTER OF DIFFUSION       0.0000    0.0000    0.0000",
        "",
        " TRANSLATIONAL DIFFUSION TENSOR",
        one + z + z,
        z + "        2.000000" + z,
        z + z + "        3.000000",
        "",
        " TRANSLATIONAL DIFFUSION COEFF.=   2.0000",
        " TRANSLATIONAL FRICTION  COEFF.=   0.5000",
        "",
        " ROTATIONAL DIFFUSION TENSOR",
        one + z + z,
        z + one + z,
        z + z + one,
        "",
        " COUPLING TENSOR (DIFFUSION)",
        z + z + z,
        z + z + z,
        z + z + z,
    };
    EXPECT_EQ(sink.records, want);
}

}  // namespace
}  // namespace bw
