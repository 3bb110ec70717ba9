#include "montecarlo/iniconf.hpp"

#include <cmath>
#include <string>

#include "montecarlo/random.hpp"
#include "montecarlo/simulation_error.hpp"

namespace bw {

namespace {

// Closest approach allowed between a new bead and any earlier one, squared:
// about 0.9487 bond lengths.
constexpr float MIN_DIST2 = 0.9f;

// Puts bead i one unit step from bead i-1 in a random direction. The azimuth
// factor is 6.2831855, not the 6.28318 of RANVEC.
void step(Conformation& conf, std::int32_t i, std::int32_t& ISEED) {
    const float ct = 2.0f * RAN(ISEED) - 1.0f;
    const float st = std::sqrt(1.0f - ct * ct);
    const float phi = RAN(ISEED) * 6.2831855f;
    conf.x[i - 1] = conf.x[i - 2] + st * std::cos(phi);
    conf.y[i - 1] = conf.y[i - 2] + st * std::sin(phi);
    conf.z[i - 1] = conf.z[i - 2] + ct;
}

bool clear_of_earlier_beads(const Conformation& conf, std::int32_t i) {
    for (std::int32_t j = 1; j < i; ++j) {
        if (DIST2(conf, j, i) <= MIN_DIST2) return false;
    }
    return true;
}

// One walk from the origin; false when some bead needed more than
// max_redraws redraws.
bool walk(Conformation& conf, std::int32_t N, std::int32_t& ISEED, std::int32_t max_redraws) {
    conf.x[0] = conf.y[0] = conf.z[0] = 0.0f;
    for (std::int32_t i = 2; i <= N; ++i) {
        std::int32_t redraws = 0;
        step(conf, i, ISEED);
        while (!clear_of_earlier_beads(conf, i)) {
            if (redraws == max_redraws) return false;
            ++redraws;
            step(conf, i, ISEED);
        }
    }
    return true;
}

}  // namespace

float DIST2(const Conformation& conf, std::int32_t I, std::int32_t J) {
    const float dx = conf.x[J - 1] - conf.x[I - 1];
    const float dy = conf.y[J - 1] - conf.y[I - 1];
    const float dz = conf.z[J - 1] - conf.z[I - 1];
    return dy * dy + dx * dx + dz * dz;
}

void INICONF(std::int32_t N, std::int32_t& ISEED, Conformation& conf, const IniconfLimits& limits) {
    if (N < 0 || N > MAXBEADS) {
        throw SimulationError("Initial conformation: bead count " + std::to_string(N) +
                              " outside 0.." + std::to_string(MAXBEADS));
    }
    conf.N = N;
    if (N == 0) return;
    for (std::int32_t restarts = 0;; ++restarts) {
        if (walk(conf, N, ISEED, limits.max_redraws)) return;
        if (restarts == limits.max_restarts) {
            throw SimulationError("Initial conformation: no self-avoiding chain of " + std::to_string(N) +
                                  " beads after " + std::to_string(restarts + 1) + " attempts of " +
                                  std::to_string(limits.max_redraws) + " redraws per bead");
        }
    }
}

}  // namespace bw
