#pragma once
// Fast route to everything the friction and viscosity stages read from the
// inverted supermatrix S = A^-1.
//
// Every such quantity is a bilinear form in S over twelve linear velocity
// fields of the bead array: the uniform translations T_k (T_k[3(I-1)+l] =
// delta_kl) and the fields C_am, "component m times coordinate a"
// (C_am[3(I-1)+k] = r_Ia delta_km). With P = [T | C] (3N x 12) they all
// follow from the 12 x 12 Gram matrix G = P^T S P. With the Cholesky factor
// A = L L^T, G = W^T W for W = L^-1 P: one factorisation, one triangular
// solve with twelve right-hand sides and a rank-3N update, and no explicit
// inverse. (The lower factor: OpenBLAS factorises a matrix of order 300
// about a fifth faster in that triangle.)
//
// Precision: the fields are formed with coordinates relative to the centroid
// of the beads, so that W and G carry no large common offset; moving the
// reference point (to the coordinate origin for the friction tensors, to the
// viscosity centre for the viscosity sums) is done on G in double precision.
#include <array>
#include <cstdint>
#include <vector>

#include "hydro/frict.hpp"
#include "hydro/viscos.hpp"

namespace bw {

inline constexpr int NFIELD = 12;

// Field numbering (0-based): T_k is field k, C_am is field 3 + 3a + m
// (a the coordinate, m the velocity component).
constexpr int field_T(int k) { return k; }
constexpr int field_C(int a, int m) { return 3 + 3 * a + m; }

// G = P^T S P with the coordinates in the fields C_am measured from `centre`.
struct FieldGram {
    std::array<double, NFIELD * NFIELD> G{};  // symmetric, column-major
    std::array<double, 3> centre{};
    double operator()(int f, int g) const { return G[f + NFIELD * g]; }
};

// Storage of the fast route, sized for MAXBEADS beads on construction and
// reused for every conformation. One per concurrent calculation.
struct FastWork {
    FastWork();
    void reserve(std::int32_t N);  // room for N beads (grows, never shrinks)
    std::vector<float> A;  // supermatrix of order 3N (lower triangle), leading dimension 3N
    std::vector<float> P;  // the twelve fields, 3N x 12, overwritten by W
    std::array<float, NFIELD * NFIELD> Gf{};
    FieldGram gram;
};

// Factorises the supermatrix held in the lower triangle of work.A (order 3N,
// leading dimension 3N; overwritten by its factor) and forms work.gram for
// the beads of COORD (LDC x 3, column-major). Returns the factorisation's
// INFO; work.gram is written only when it is 0.
std::int32_t field_gram(std::int32_t N, const float* COORD, std::int32_t LDC, FastWork& work);

// The same Gram matrix with the fields C_am measured from the point p:
// C_am(p) = C_am(centre) + (centre_a - p_a) T_m, i.e. G(p) = Q^T G Q.
FieldGram shifted(const FieldGram& gram, const std::array<double, 3>& p);

// The friction tensors referred to the coordinate origin, FTT = sum S_IJ,
// FRT = sum U_I S_IJ, FRR = - sum U_I S_IJ U_J over all ordered pairs
// (U(r) v = r x v), FRR without its correction:
// FTT(k,l) = G[T_k, T_l], FRT(k,l) = sum_am eps_kam G[C_am, T_l],
// FRR(k,l) = - sum_ambn eps_kam eps_nbl G[C_am, C_bn].
FrictionSums friction_sums(const FieldGram& gram);

// FSUM = sum S_IJ and BVEC with positions from the coordinate origin. Each
// pair term of BVEC(m) in r_I has a twin in r_J of equal sum, so
// BVEC(m) = 8 G[C_mm, T_m] + sum_{k!=m} (6 G[C_mk, T_k] + 6 G[C_km, T_k] - 4 G[C_kk, T_m]).
ViscosityCentreSums viscosity_centre_sums(const FieldGram& gram);

// The four viscosity sums with positions measured from VISCEN, from G about
// VISCEN: VSUM1 = sum_m G[C_mm, C_mm], VSUM2 = sum_{m!=k} G[C_km, C_mk],
// VSUM3 = sum_{m!=k} G[C_mm, C_kk], VSUM4 = sum_m sum_{k!=m} G[C_km, C_km].
ViscositySums viscosity_sums(const FieldGram& gram, const Vec3& VISCEN);

}  // namespace bw
