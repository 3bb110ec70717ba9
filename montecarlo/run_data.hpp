#pragma once
// The items of one data set, the model code of the run and the run-control
// values derived from them. Lengths in bond lengths b, energies in kT.
#include <cstdint>

namespace bw {

inline constexpr std::int32_t MAXBEADS = 100;
inline constexpr std::int32_t NSUB = 5;  // subsamples per data set

struct RunData {
    std::int32_t ICODE = 0;     // 1 RL/RLHS, 2 GS/GSLJ, 3 SS/SSSR

    std::int32_t N = 0;         // beads
    std::int32_t NCONF = 0;     // Monte Carlo cycles asked for
    std::int32_t NCONFAVE = 0;  // conformations for averaging
    std::int32_t ISEED = 0;     // seed, and the generator's state during the run
    std::int32_t IHYD = 0;      // 0: no hydrodynamics
    std::int32_t NPR = 0;       // P(r) intervals; <= 0: none
    float RMAX = 0.0f;          // upper end of the P(r) range

    // family 1
    float DHS = 0.0f;           // hard-sphere diameter
    float DELTAPHI = 0.0f;      // crankshaft angle range, radians
    // families 2 and 3 (RCUT and HOOK shared)
    float EPS = 0.0f, SIG = 0.0f;      // Lennard-Jones
    float A = 0.0f, ALPHA = 0.0f;      // soft exponential repulsion
    float RCUT = 0.0f, HOOK = 0.0f, AMPL = 0.0f;
    float RCUT2 = 0.0f;         // RCUT * RCUT, single precision

    // run control (integer division truncating toward zero)
    std::int32_t NFREQ = 0;     // NCONF / NCONFAVE
    std::int32_t NCONFSUB = 0;  // NCONFAVE / 5
    std::int32_t NPROG = 1;     // NCONFAVE / 20, or 1
    std::int32_t NPROP = 2;     // properties per sampled conformation

    // Pivot attempts after the N local moves of every cycle; 0: local moves
    // only (beadwalks). Chosen for the whole run, not read from the data file.
    std::int32_t NPIVOT = 0;
};

}  // namespace bw
