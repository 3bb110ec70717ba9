#pragma once
// Fast route to everything the friction and viscosity stages read from the
// inverted supermatrix S = A^-1.
//
// Every such quantity is a bilinear form in S over twelve linear velocity
// fields of the bead array: the uniform translations T_k (T_k[3(I-1)+l] =
// delta_kl) and the fields C_am, "component m times coordinate a"
// (C_am[3(I-1)+k] = r_Ia delta_km). With P = [T | C] (3N x 12) they all
// follow from the 12 x 12 Gram matrix G = P^T S P. With the Cholesky factor
// A = U^T U, G = W^T W for W = U^-T P: one factorisation, one triangular
// solve with twelve right-hand sides and a rank-3N update, and no explicit
// inverse.
//
// Precision: the fields are formed with coordinates relative to the centroid
// of the beads, so that W and G carry no large common offset; moving the
// reference point (to the coordinate origin for the friction tensors, to the
// viscosity centre for the viscosity sums) is done on G in double precision.
#include <array>
#include <cstdint>
#include <vector>

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

// Storage of the fast route, sized once for MAXBEADS beads and reused for
// every conformation.
struct FastWork {
    FastWork();
    std::vector<float> A;  // supermatrix of order 3N, leading dimension 3N
    std::vector<float> P;  // the twelve fields, 3N x 12, overwritten by W
    std::array<float, NFIELD * NFIELD> Gf{};
};

// Factorises the supermatrix held in the upper triangle of work.A (order 3N,
// leading dimension 3N; overwritten by its factor) and forms `gram` for the
// beads of COORD (LDC x 3, column-major). Returns the factorisation's INFO;
// `gram` is written only when it is 0.
std::int32_t field_gram(std::int32_t N, const float* COORD, std::int32_t LDC, FastWork& work,
                        FieldGram& gram);

// The same Gram matrix with the fields C_am measured from the point p:
// C_am(p) = C_am(centre) + (centre_a - p_a) T_m, i.e. G(p) = Q^T G Q.
FieldGram shifted(const FieldGram& gram, const std::array<double, 3>& p);

// Friction tensors of the rigid array referred to the coordinate origin, as
// sums over all ordered bead pairs: FTT = sum S_IJ, FRT = sum U_I S_IJ,
// FRR = - sum U_I S_IJ U_J (U(r) v = r x v), FRR without any correction.
// 3x3, column-major, units of 6 pi eta (times length, length squared).
struct FrictionSums {
    std::array<float, 9> FTT{}, FRT{}, FRR{};
};
FrictionSums friction_sums(const FieldGram& gram);

// The pair sums that locate the viscosity centre, with positions from the
// coordinate origin: FSUM = sum S_IJ and, per component m,
// BVEC(m) = sum over pairs of 4 S(m,m)(r_Im + r_Jm) + sum over k != m of
// [3 S(k,k)(r_Im + r_Jm) + (3 S(m,k) - 2 S(k,m)) r_Ik + (3 S(k,m) - 2 S(m,k)) r_Jk].
struct ViscosityVectors {
    std::array<float, 9> FSUM{};
    std::array<float, 3> BVEC{};
};
ViscosityVectors viscosity_vectors(const FieldGram& gram);

// The four pair sums of the intrinsic viscosity, with positions r measured
// from VISCEN (S = S_IJ, sums over all ordered pairs):
// VSUM1 = sum_m S(m,m) r_Im r_Jm,         VSUM2 = sum_{m!=k} S(m,k) r_Jm r_Ik,
// VSUM3 = sum_{m!=k} S(m,k) r_Im r_Jk,    VSUM4 = sum_m sum_{k!=m} S(m,m) r_Ik r_Jk.
struct ViscositySums {
    double VSUM1 = 0.0, VSUM2 = 0.0, VSUM3 = 0.0, VSUM4 = 0.0;
};
ViscositySums viscosity_sums(const FieldGram& gram, const std::array<float, 3>& VISCEN);

}  // namespace bw
