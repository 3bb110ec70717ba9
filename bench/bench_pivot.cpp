// Effective samples of <s2>* per CPU-second, local moves against pivot
// moves, both sides in one run: code 2 (ideal Gaussian springs, HOOK = 3,
// AMPL = 1), code 3 (stiff springs of rest length 1, HOOK = 100, AMPL = 0.2,
// A = 0) and code 1 (rigid bonds, hard spheres DHS = 0.8, DELTAPHI = 2), at
// N = 30 and N = 100, pivots with K = 1, 2, 4, 8, 16 and 32 attempts per cycle.
//
// Each side is one data set run on this thread (no hydrodynamics, no P(r)),
// its series of <s2>* kept and diagnosed as beadwalks-diagnose does it:
// n_eff = samples / tau(samples), tau the integrated autocorrelation time
// pooled over the five subsamples (Sokal's window). The rate is n_eff over the
// thread's CPU time. Samples are taken about tau/20 cycles apart for local
// moves and every cycle for pivots, so that both resolve their own tau; the
// rate does not depend on the spacing as long as it is below tau. The local
// runs of N = 100 are long (tau of 10^4 to 10^5 cycles): the whole program
// takes several minutes. --quick runs N = 30 only.
//
// This is a plain program, not a Google Benchmark one: each case is one long
// run whose result is a statistical estimate, not a timing to repeat.
#include <time.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "averaging/data_set_run.hpp"
#include "averaging/rigid_bead_hydro.hpp"
#include "diagnose/diagnosis.hpp"
#include "diagnose/series_recorder.hpp"
#include "driver/records/record_sink.hpp"
#include "montecarlo/run_data.hpp"

namespace {

struct Case {
    const char* name;
    std::int32_t ICODE, N;
    std::int32_t local_cycles, local_nfreq;  // local side: cycles and their spacing of samples
    std::int32_t pivot_cycles;               // pivot side, sampled every cycle
};

bw::RunData data_set(const Case& c, std::int32_t cycles, std::int32_t nfreq, std::int32_t K) {
    bw::RunData run;
    run.ICODE = c.ICODE;
    run.N = c.N;
    run.NCONF = cycles;
    run.NCONFAVE = cycles / nfreq;
    run.ISEED = 2718281;
    run.IHYD = 0;
    run.NPR = 0;
    switch (c.ICODE) {
    case 1: run.DHS = 0.8f, run.DELTAPHI = 2.0f; break;
    case 2: run.EPS = 0.0f, run.SIG = 0.8f, run.RCUT = 2.5f, run.HOOK = 3.0f, run.AMPL = 1.0f; break;
    case 3: run.A = 0.0f, run.ALPHA = 1.0f, run.RCUT = 1.0f, run.HOOK = 100.0f, run.AMPL = 0.2f; break;
    }
    run.RCUT2 = run.RCUT * run.RCUT;
    run.NFREQ = run.NCONF / run.NCONFAVE;
    run.NCONFSUB = run.NCONFAVE / bw::NSUB;
    run.NPROG = run.NCONFAVE / 20 > 0 ? run.NCONFAVE / 20 : 1;
    run.NPROP = 2;
    run.NPIVOT = K;
    return run;
}

double thread_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct Side {
    double cpu_s = 0.0, tau_cycles = 0.0, n_eff = 0.0, rate = 0.0, s2 = 0.0, s2_err = 0.0;
    double rejected_pivots = 0.0;  // percent
    bool window_found = false;
};

Side measure(const Case& c, std::int32_t cycles, std::int32_t nfreq, std::int32_t K) {
    bw::RunData run = data_set(c, cycles, nfreq, K);
    bw::diagnose::SeriesRecorder series(2, static_cast<std::size_t>(run.NCONFSUB));
    bw::NullSink console;
    const double t0 = thread_cpu_seconds();
    const bw::DataSetOutcome out =
        bw::run_data_set(run, console, 1, [] { return std::make_unique<bw::RigidBeadHydro>(); }, &series);
    Side s;
    s.cpu_s = thread_cpu_seconds() - t0;
    const bw::diagnose::PropertyDiagnosis d = bw::diagnose::diagnose_property(
        series.series(1), {run.NCONF, run.NCONFAVE, run.NFREQ}, out.PSTAT[1][0], out.PSTAT[1][1]);
    s.tau_cycles = d.tau_cycles;
    s.n_eff = d.n_eff;
    s.rate = d.n_eff / s.cpu_s;
    s.s2 = out.PSTAT[1][0];
    s.s2_err = d.error_autocorr;
    s.window_found = d.window_found;
    if (K > 0) s.rejected_pivots = 100.0 * static_cast<double>(out.NPREJ) / (double(cycles) * K);
    return s;
}

void print(const char* moves, const Side& s, double local_rate) {
    std::printf("  %-9s %9.2f %11.1f %10.0f %12.1f %9.1fx %8.1f%%  <s2>* = %.3f +- %.3f%s\n", moves, s.cpu_s,
                s.tau_cycles, s.n_eff, s.rate, s.rate / local_rate, s.rejected_pivots, s.s2, s.s2_err,
                s.window_found ? "" : "  (window not found: tau a lower bound)");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const std::vector<Case> cases = {
        {"code 2 GS  HOOK=3 AMPL=1", 2, 30, 400'000, 40, 100'000},
        {"code 3 SS  HOOK=100 AMPL=0.2 A=0", 3, 30, 2'000'000, 400, 100'000},
        {"code 1 RLHS DHS=0.8 DELTAPHI=2", 1, 30, 400'000, 40, 100'000},
        {"code 2 GS  HOOK=3 AMPL=1", 2, 100, 2'000'000, 400, 50'000},
        {"code 3 SS  HOOK=100 AMPL=0.2 A=0", 3, 100, 8'000'000, 4000, 50'000},
        {"code 1 RLHS DHS=0.8 DELTAPHI=2", 1, 100, 2'000'000, 400, 50'000},
    };
    const std::int32_t Ks[] = {1, 2, 4, 8, 16, 32};
    std::printf("n_eff of <s2>* per CPU-second (one thread), local moves against pivots\n");
    for (const Case& c : cases) {
        if (quick && c.N > 30) continue;
        std::printf("%s, N = %d\n", c.name, c.N);
        std::printf("  %-9s %9s %11s %10s %12s %10s %9s\n", "moves", "CPU s", "tau(cycles)", "n_eff",
                    "n_eff/CPU-s", "vs local", "pivots refused");
        const Side local = measure(c, c.local_cycles, c.local_nfreq, 0);
        print("local", local, local.rate);
        for (std::int32_t K : Ks) {
            const Side p = measure(c, c.pivot_cycles, 1, K);
            print(("pivot K=" + std::to_string(K)).c_str(), p, local.rate);
        }
    }
    return 0;
}
