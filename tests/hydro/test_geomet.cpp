#include <gtest/gtest.h>

#include "driver/records/record_sink.hpp"
#include "hydro/geomet.hpp"
#include "hydro_test_support.hpp"

namespace bw {
namespace {

TEST(geomet, two_beads_point_and_sphere_forms) {
    test::BeadModel bm({{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}});
    HydroWorkspace ws;
    NullSink sink;
    GEOMET(0, 0, bm.view(), bm.N, bm.rad.data(), ws, sink);
    EXPECT_FLOAT_EQ(ws.CM[0], 0.5f);
    EXPECT_EQ(ws.CM[1], 0.0f);
    EXPECT_EQ(ws.CM[2], 0.0f);
    // 4 pi/3 * 2 * 0.257^3 with pi = 3.14159.
    EXPECT_NEAR(ws.VOLUME, 4.0 * 3.14159 / 3.0 * 2.0 * 0.257 * 0.257 * 0.257, 1e-7);
    EXPECT_FLOAT_EQ(ws.RG, 0.5f);

    GEOMET(1, 0, bm.view(), bm.N, bm.rad.data(), ws, sink);
    EXPECT_NEAR(ws.RG, std::sqrt(0.25 + 0.6 * 0.257 * 0.257), 1e-6);  // 0.53817...
}

TEST(geomet, beads_weigh_by_their_volume_and_rg_ignores_origin) {
    // Radius 2a weighs eight times radius a: CM at 8/9 of the way.
    test::BeadModel bm({{0.0f, 0.0f, 0.0f}, {9.0f, 0.0f, 0.0f}});
    bm.rad = {0.1f, 0.2f};
    HydroWorkspace ws;
    NullSink sink;
    GEOMET(0, 0, bm.view(), bm.N, bm.rad.data(), ws, sink);
    EXPECT_FLOAT_EQ(ws.CM[0], 8.0f);
    EXPECT_FLOAT_EQ(ws.RG, std::sqrt(8.0f));  // (1*64 + 8*1) / 9

    test::BeadModel shifted({{5.0f, -3.0f, 2.0f}, {14.0f, -3.0f, 2.0f}});
    shifted.rad = bm.rad;
    HydroWorkspace ws2;
    GEOMET(0, 0, shifted.view(), shifted.N, shifted.rad.data(), ws2, sink);
    EXPECT_FLOAT_EQ(ws2.CM[0], 13.0f);
    EXPECT_FLOAT_EQ(ws2.CM[1], -3.0f);
    EXPECT_NEAR(ws2.RG, ws.RG, 1e-5);
}

TEST(geomet, prints_volume_rg_and_centre_of_mass) {
    test::BeadModel bm({{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}});
    HydroWorkspace ws;
    CapturingSink sink;
    GEOMET(1, 1, bm.view(), bm.N, bm.rad.data(), ws, sink);
    const std::vector<std::string> want = {
        "",
        " VOLUME=      0.14  RADIUS OF GYRATION=    0.5382",
        "",
        " CENTER OF MASS (UNIFORM DENSITY)        0.5000    0.0000    0.0000",
    };
    EXPECT_EQ(sink.records, want);

    CapturingSink quiet;
    GEOMET(1, 0, bm.view(), bm.N, bm.rad.data(), ws, quiet);
    EXPECT_TRUE(quiet.records.empty());
}

}  // namespace
}  // namespace bw
