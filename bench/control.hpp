#pragma once
// The control of the benchmarks that compare one CPU with two: a harmonic
// sum of 4e8 terms split over state.range(0) threads. Unless its 2-thread
// time is about half its 1-thread time, the machine did not have two free
// cores during the run and a ratio measured beside it says nothing.
#include <benchmark/benchmark.h>

#include <thread>
#include <vector>

namespace bench {

inline void harmonic_control(benchmark::State& state) {
    const auto threads = static_cast<long>(state.range(0));
    const long terms = 400'000'000 / threads;
    for (auto _ : state) {
        std::vector<double> sums(static_cast<std::size_t>(threads));
        std::vector<std::jthread> pool;
        for (long t = 0; t < threads; ++t) {
            pool.emplace_back([&sums, t, terms] {
                double s = 0.0;
                for (long i = 0; i < terms; ++i) s += 1.0 / (static_cast<double>(i) + 1.0);
                sums[static_cast<std::size_t>(t)] = s;
            });
        }
        pool.clear();
        benchmark::DoNotOptimize(sums.data());
    }
}

}  // namespace bench
