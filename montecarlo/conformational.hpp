#pragma once
// Conformational properties of one conformation: the squared radius of
// gyration of the beads as equal point masses, and the interval of a range
// that holds a value (for the distribution P(r) of the end-to-end distance).
#include <cstdint>

#include "montecarlo/conformation.hpp"

namespace bw {

// Squared radius of gyration in b^2: mean squared distance of the beads from
// their centre of mass, normalised by 1/N. Single precision throughout.
void RGYR2(const Conformation& conf, float& S2);

// Interval of [VMIN, VMAX], cut into NINT equal intervals, that holds VAL.
// ISTAT 1: VAL < VMIN; 2: VAL > VMAX (IBIN unchanged in both); 0: IBIN in
// 1..NINT. VAL = VMAX falls in NINT and an interior boundary in the lower
// interval, through the factor 1 - 2^-23. An empty range (VMAX = VMIN = VAL)
// or a NaN VAL gives ISTAT 0 and IBIN 0: no interval.
void HISTBIN(float VAL, float VMIN, float VMAX, std::int32_t NINT, std::int32_t& IBIN, std::int32_t& ISTAT);

}  // namespace bw
