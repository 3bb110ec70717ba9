#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <thread>

#include "driver/records/record_sink.hpp"
#include "hydro/supmat.hpp"
#include "hydro/trv.hpp"
#include "hydro_test_support.hpp"

namespace bw {
namespace {

const std::string kInversionTail = " . SEE INSTRUCTIONS FOR INVSTO_D SUBROUTINE";

TEST(trv, live_options_print_nothing) {
    test::BeadModel bm(test::random_walk(20, 1), 0.257f, 100);
    HydroWorkspace ws;
    CapturingSink sink;
    TRV(bm.model(), ws, sink);
    EXPECT_TRUE(sink.records.empty());
    EXPECT_GT(ws.res.DT, 0.0f);
    EXPECT_GT(ws.res.ETA, 0.0f);
}

TEST(trv, print_option_echoes_parameters_and_beads_then_every_stage) {
    test::BeadModel bm({{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}});
    HydroWorkspace ws;
    CapturingSink sink;
    TRV(bm.model(IND_RPY, 1), ws, sink);
    const std::vector<std::string> head = {
        "",
        "",
        " SUBROUTINE TRV HAS ENTERED",
        " VALUES OF THE CONTROL PARAMETERS",
        "  IND   IP",
        "    1    1",
        "",
        " CARTESIAN COORDINATES AND RADII OF THE ELEMENTS",
        "   1       0.0000       0.0000       0.0000       0.2570",
        "   2       1.0000       0.0000       0.0000       0.2570",
    };
    ASSERT_EQ(sink.records.size(), head.size() + 4 + 20 + 12 + 6);
    EXPECT_EQ(std::vector<std::string>(sink.records.begin(), sink.records.begin() + 10), head);
    // Then the stages in order: geometry, diffusion, relaxation, viscosity.
    const std::vector<std::pair<std::size_t, std::string>> titles = {
        {11, " VOLUME="},
        {13, " CENTER OF MASS (UNIFORM DENSITY)"},
        {15, " CENTER OF DIFFUSION"},
        {17, " TRANSLATIONAL DIFFUSION TENSOR"},
        {22, " TRANSLATIONAL DIFFUSION COEFF.="},
        {25, " ROTATIONAL DIFFUSION TENSOR"},
        {30, " COUPLING TENSOR (DIFFUSION)"},
        {35, " EIGENVALUES OF THE ROTATIONAL DIFFUSION TENSOR"},
        {45, " RELAXATION TIMES"},
        {47, " VISCOSITY CENTER"},
        {49, " INTRINSIC VISCOSITY"},
        {51, " SCHERAGA-MANDELKERN PARAMETER"},
    };
    for (const auto& [index, title] : titles)
        EXPECT_EQ(sink.records[index].substr(0, title.size()), title) << index;
    // The dumbbell's centres are its midpoint.
    EXPECT_EQ(sink.records[15], " CENTER OF DIFFUSION       0.5000    0.0000    0.0000");
    EXPECT_EQ(sink.records[47], " VISCOSITY CENTER       0.5000    0.0000    0.0000");
}

TEST(trv, oseen_pair_too_close_fails_factorisation_and_completes) {
    test::BeadModel bm({{0.0f, 0.0f, 0.0f}, {0.3f, 0.0f, 0.0f}});
    HydroWorkspace ws;
    CapturingSink sink;
    TRV(bm.model(IND_OSEEN), ws, sink);
    EXPECT_EQ(ws.INFO1, 4);  // the x component of the second bead
    ASSERT_FALSE(sink.records.empty());
    EXPECT_EQ(sink.records[0], " ERROR: INFO1=4 INFO2=0" + kInversionTail);

    // INFO2 is not cleared: a failed factorisation prints the status of the
    // last inversion that ran in this workspace.
    ws.INFO2 = 3;
    CapturingSink again;
    TRV(bm.model(IND_OSEEN), ws, again);
    ASSERT_FALSE(again.records.empty());
    EXPECT_EQ(again.records[0], " ERROR: INFO1=4 INFO2=3" + kInversionTail);

    // A successful inversion resets it.
    test::BeadModel ok({{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}});
    CapturingSink quiet;
    TRV(ok.model(), ws, quiet);
    EXPECT_EQ(ws.INFO2, 0);
    EXPECT_TRUE(quiet.records.empty());
}

TEST(trv, failing_minor_of_order_ten_or_more_prints_an_asterisk) {
    test::BeadModel bm({{0.0f, 0.0f, 0.0f}, {3.0f, 0.0f, 0.0f}, {6.0f, 0.0f, 0.0f}, {6.3f, 0.0f, 0.0f}});
    HydroWorkspace ws;
    CapturingSink sink;
    TRV(bm.model(IND_OSEEN), ws, sink);
    EXPECT_GE(ws.INFO1, 10);
    ASSERT_FALSE(sink.records.empty());
    EXPECT_EQ(sink.records[0], " ERROR: INFO1=* INFO2=0" + kInversionTail);
}

TEST(trv, coincident_beads_with_rpy_stay_finite_until_the_factorisation) {
    test::BeadModel bm({{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}});
    SUPMAT(bm.ap.data(), IND_RPY, bm.view(), bm.N, bm.rad.data());
    for (float v : bm.ap) ASSERT_TRUE(std::isfinite(v));
    // Two identical rows: the matrix is singular; the call reports whatever
    // the factorisation finds and completes.
    HydroWorkspace ws;
    CapturingSink sink;
    TRV(bm.model(), ws, sink);
    if (ws.INFO1 != 0) {
        ASSERT_FALSE(sink.records.empty());
        EXPECT_EQ(sink.records[0].substr(0, 14), " ERROR: INFO1=");
    }
}

TEST(trv, no_interaction_inverse_holds_the_radii) {
    test::BeadModel bm(test::random_walk(4, 8));
    bm.rad = {0.1f, 0.2f, 0.3f, 0.4f};
    SUPMAT(bm.ap.data(), IND_NONE, bm.view(), bm.N, bm.rad.data());
    HydroWorkspace ws;
    INVSTO_D(3 * bm.N, bm.ap.data(), ws);
    ASSERT_EQ(ws.INFO1, 0);
    for (std::int64_t q = 0; q < 3 * bm.N; ++q)
        for (std::int64_t p = 0; p <= q; ++p)
            if (p == q)
                EXPECT_FLOAT_EQ(bm.ap[packed_index(p, q)], bm.rad[q / 3]);
            else
                EXPECT_EQ(bm.ap[packed_index(p, q)], 0.0f);
}

TEST(trv, translation_moves_both_centres_and_keeps_coefficients) {
    const auto pos = test::random_walk(15, 2);
    test::BeadModel a(pos, 0.257f, 100);
    const Vec3 t = {2.5f, -1.75f, 4.0f};
    std::vector<Vec3> moved = pos;
    for (auto& p : moved)
        for (int m = 0; m < 3; ++m) p[m] += t[m];
    test::BeadModel b(moved, 0.257f, 100);
    HydroWorkspace wa, wb;
    NullSink sink;
    TRV(a.model(), wa, sink);
    TRV(b.model(), wb, sink);
    for (int m = 0; m < 3; ++m) {
        EXPECT_NEAR(wb.res.DIFCEN[m], wa.res.DIFCEN[m] + t[m], 1e-3);
        EXPECT_NEAR(wb.res.VISCEN[m], wa.res.VISCEN[m] + t[m], 1e-3);
    }
    EXPECT_NEAR(wb.res.DT, wa.res.DT, 1e-4 * wa.res.DT);
    EXPECT_NEAR(wb.res.ETA, wa.res.ETA, 1e-4 * wa.res.ETA);
}

TEST(trv, rotation_keeps_coefficients_and_turns_the_centres) {
    const auto pos = test::random_walk(15, 6);
    const double c = std::cos(1.1), s = std::sin(1.1);
    std::vector<Vec3> rot = pos;  // rotation about the z axis
    for (auto& p : rot) {
        const double x = p[0], y = p[1];
        p[0] = static_cast<float>(c * x - s * y);
        p[1] = static_cast<float>(s * x + c * y);
    }
    test::BeadModel a(pos, 0.257f, 100), b(rot, 0.257f, 100);
    HydroWorkspace wa, wb;
    NullSink sink;
    TRV(a.model(), wa, sink);
    TRV(b.model(), wb, sink);
    EXPECT_NEAR(wb.res.DT, wa.res.DT, 1e-4 * wa.res.DT);
    EXPECT_NEAR(wb.res.ETA, wa.res.ETA, 1e-4 * wa.res.ETA);
    EXPECT_NEAR(wb.res.DIFCEN[0], c * wa.res.DIFCEN[0] - s * wa.res.DIFCEN[1], 1e-3);
    EXPECT_NEAR(wb.res.VISCEN[1], s * wa.res.VISCEN[0] + c * wa.res.VISCEN[1], 1e-3);
    EXPECT_NEAR(wb.res.VISCEN[2], wa.res.VISCEN[2], 1e-3);
}

TEST(trv, workspaces_on_two_threads_match_serial_results) {
    constexpr int kModels = 6;
    std::vector<HydroResults> serial(kModels), parallel(kModels);
    auto run = [](int k, HydroWorkspace& ws) {
        test::BeadModel bm(test::random_walk(10 + 7 * k, 100 + k), 0.257f, 100);
        NullSink sink;
        TRV(bm.model(), ws, sink);
        return ws.res;
    };
    HydroWorkspace one;
    for (int k = 0; k < kModels; ++k) serial[k] = run(k, one);
    std::thread other([&] {
        HydroWorkspace ws;
        for (int k = 1; k < kModels; k += 2) parallel[k] = run(k, ws);
    });
    HydroWorkspace ws;
    for (int k = 0; k < kModels; k += 2) parallel[k] = run(k, ws);
    other.join();
    for (int k = 0; k < kModels; ++k) {
        EXPECT_EQ(parallel[k].DT, serial[k].DT) << k;
        EXPECT_EQ(parallel[k].ETA, serial[k].ETA) << k;
        EXPECT_EQ(parallel[k].DREIG, serial[k].DREIG) << k;
    }
}

TEST(trv, refuses_models_it_cannot_address) {
    test::BeadModel bm(test::random_walk(3, 1));
    HydroWorkspace ws;
    NullSink sink;
    HydroModel m = bm.model();
    m.NAP = 44;  // 3N(3N+1)/2 = 45
    EXPECT_THROW(TRV(m, ws, sink), std::invalid_argument);
    m = bm.model();
    m.N = 0;
    EXPECT_THROW(TRV(m, ws, sink), std::invalid_argument);
    m = bm.model();
    m.LDC = 2;
    EXPECT_THROW(TRV(m, ws, sink), std::invalid_argument);
}

}  // namespace
}  // namespace bw
