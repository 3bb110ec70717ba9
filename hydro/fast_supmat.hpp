#pragma once
// The interaction supermatrix in full column-major storage for the fast
// route: element for element the matrix SUPMAT packs, built column block by
// column block with the pair formula evaluated over all partner beads at
// once (vectorised; every element is the same float as SUPMAT's).
#include "hydro/fast_gram.hpp"
#include "hydro/hydro_model.hpp"

namespace bw {

// Upper triangle of the supermatrix of order n = 3N into fw.A, leading
// dimension n: row 3J + b, column 3I + a (J <= I) receives the element (a, b)
// of the block of beads I and J, as STOBLK stores it. fw grows to N beads if
// needed; the strict lower triangle is not written.
void fast_supermatrix(const HydroModel& m, FastWork& fw);

}  // namespace bw
