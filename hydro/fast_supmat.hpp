#pragma once
// The interaction supermatrix in full column-major storage for the fast
// route: element for element the matrix SUPMAT packs, built column block by
// column block with the pair formula evaluated over all partner beads at
// once (vectorised; every element is the same float as SUPMAT's).
#include "hydro/fast_gram.hpp"
#include "hydro/hydro_model.hpp"

namespace bw {

// Lower triangle of the supermatrix of order n = 3N into fw.A, leading
// dimension n: the transpose of the layout STOBLK gives the packed upper
// triangle, so that row 3I + a, column 3J + b (J <= I) receives the element
// (a, b) of the block of beads I and J, and fw.A[q + n p] is the element
// SUPMAT stores at (p, q), p <= q. fw grows to N beads if needed; the strict
// upper triangle is not written.
void fast_supermatrix(const HydroModel& m, FastWork& fw);

}  // namespace bw
