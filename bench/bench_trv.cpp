// Time of one TRV call (live options: RPY with overlap, no printing) on a
// random-walk conformation of N unit steps, beads of radius 0.257.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "driver/records/record_sink.hpp"
#include "hydro/hydro_model.hpp"
#include "hydro/hydro_workspace.hpp"
#include "hydro/trv.hpp"

namespace {

void BM_TRV(benchmark::State& state) {
    const auto N = static_cast<std::int32_t>(state.range(0));
    constexpr std::int32_t LDC = 100, NAP = 50000;
    std::vector<float> coord(LDC * 3, 0.0f), rad(LDC, 0.257f), ap(NAP);
    std::mt19937 gen(12345);
    std::normal_distribution<double> g(0.0, 1.0);
    for (std::int32_t i = 1; i < N; ++i) {
        const double s[3] = {g(gen), g(gen), g(gen)};
        const double len = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        for (int m = 0; m < 3; ++m) coord[i + m * LDC] = coord[i - 1 + m * LDC] + static_cast<float>(s[m] / len);
    }
    bw::HydroModel model;
    model.IND = 1;
    model.LDC = LDC;
    model.N = N;
    model.COORD = coord.data();
    model.RAD = rad.data();
    model.NAP = NAP;
    model.AP = ap.data();
    bw::HydroWorkspace ws;
    bw::NullSink sink;
    for (auto _ : state) {
        bw::TRV(model, ws, sink);
        benchmark::DoNotOptimize(ws.res.ETA);
    }
}
BENCHMARK(BM_TRV)->Arg(20)->Arg(50)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
