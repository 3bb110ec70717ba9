#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

#include "averaging/confprop.hpp"
#include "averaging/rigid_bead_hydro.hpp"
#include "driver/records/record_sink.hpp"
#include "hydro/fast_gram.hpp"
#include "hydro/trv.hpp"

namespace bw {
namespace {

Conformation walk(std::int32_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<float> g(0.0f, 1.0f);
    Conformation c;
    c.N = n;
    for (std::int32_t i = 1; i < n; ++i) {
        float s[3] = {g(gen), g(gen), g(gen)};
        const float len = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        c.x[i] = c.x[i - 1] + s[0] / len;
        c.y[i] = c.y[i - 1] + s[1] / len;
        c.z[i] = c.z[i - 1] + s[2] / len;
    }
    return c;
}

TEST(rigid_bead_hydro, is_trv_of_the_rigid_model_with_live_options) {
    const Conformation conf = walk(7, 3);
    // The same model built by hand: radius 0.257, RPY, no printing.
    std::vector<float> coord(100 * 3), rad(7, 0.257f), ap(50000);
    for (std::int32_t i = 0; i < conf.N; ++i) {
        coord[i] = conf.x[i];
        coord[i + 100] = conf.y[i];
        coord[i + 200] = conf.z[i];
    }
    HydroModel m;
    m.IND = 1;
    m.LDC = 100;
    m.N = conf.N;
    m.COORD = coord.data();
    m.RAD = rad.data();
    m.NAP = 50000;
    m.AP = ap.data();
    HydroWorkspace ws;
    CapturingSink direct;
    FastWork fast;
    TRV(m, ws, direct, &fast);

    RigidBeadHydro hydro;
    CapturingSink sink;
    float DT = 0.0f, ETA = 0.0f;
    hydro.compute(conf, DT, ETA, sink);
    EXPECT_EQ(DT, ws.res.DT);
    EXPECT_EQ(ETA, ws.res.ETA);
    EXPECT_TRUE(sink.records.empty());
    EXPECT_EQ(sink.records, direct.records);
}

TEST(rigid_bead_hydro, results_do_not_depend_on_earlier_conformations) {
    const Conformation small = walk(5, 1), big = walk(100, 2);
    RigidBeadHydro fresh, reused;
    NullSink sink;
    float dt1, eta1, dt2, eta2, dt3, eta3;
    fresh.compute(small, dt1, eta1, sink);
    reused.compute(big, dt2, eta2, sink);
    reused.compute(small, dt3, eta3, sink);
    EXPECT_EQ(dt1, dt3);
    EXPECT_EQ(eta1, eta3);
    EXPECT_TRUE(std::isfinite(dt2) && dt2 > 0.0f);
    EXPECT_TRUE(std::isfinite(eta2) && eta2 > 0.0f);
}

TEST(rigid_bead_hydro, fills_the_hydrodynamic_entries_of_the_property_vector) {
    RunData run;
    run.N = 6;
    run.IHYD = 1;
    run.NPR = 2;
    run.RMAX = 10.0f;
    const Conformation conf = walk(6, 9);
    RigidBeadHydro hydro;
    NullSink sink;
    std::vector<float> prop(static_cast<std::size_t>(property_count(run)));
    ASSERT_EQ(CONFPROP(conf, run, &hydro, sink, prop), 6);
    float DT, ETA;
    RigidBeadHydro().compute(conf, DT, ETA, sink);
    EXPECT_EQ(prop[2], DT);
    EXPECT_EQ(prop[3], ETA);
}

TEST(rigid_bead_hydro, refuses_bead_counts_outside_the_model_arrays) {
    RigidBeadHydro hydro;
    NullSink sink;
    float DT, ETA;
    Conformation c;
    c.N = 0;
    EXPECT_THROW(hydro.compute(c, DT, ETA, sink), std::invalid_argument);
    c.N = MAXBEADS + 1;
    EXPECT_THROW(hydro.compute(c, DT, ETA, sink), std::invalid_argument);
}

}  // namespace
}  // namespace bw
