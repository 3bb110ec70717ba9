#pragma once
// Run data for tests: a model code, chain length, counts and seed, with the
// run-control values derived the way the data-set reader derives them.
#include <cstdint>

#include "montecarlo/run_data.hpp"

namespace bw::replay {

inline RunData make_run(std::int32_t ICODE, std::int32_t N, std::int32_t NCONF, std::int32_t NCONFAVE,
                        std::int32_t ISEED) {
    RunData run;
    run.ICODE = ICODE;
    run.N = N;
    run.NCONF = NCONF;
    run.NCONFAVE = NCONFAVE;
    run.ISEED = ISEED;
    run.NFREQ = NCONF / NCONFAVE;
    run.NCONFSUB = NCONFAVE / NSUB;
    run.NPROG = NCONFAVE / 20 > 0 ? NCONFAVE / 20 : 1;
    run.NPROP = 2;
    return run;
}

inline RunData rigid_run(std::int32_t N, float DHS, float DELTAPHI, std::int32_t ISEED) {
    RunData run = make_run(1, N, 100, 10, ISEED);
    run.DHS = DHS;
    run.DELTAPHI = DELTAPHI;
    return run;
}

inline RunData spring_run(std::int32_t ICODE, std::int32_t N, float HOOK, float AMPL, std::int32_t ISEED) {
    RunData run = make_run(ICODE, N, 100, 10, ISEED);
    run.HOOK = HOOK;
    run.AMPL = AMPL;
    run.SIG = 1.0f;
    run.ALPHA = 1.0f;
    run.RCUT = 2.5f;
    run.RCUT2 = run.RCUT * run.RCUT;
    return run;
}

}  // namespace bw::replay
