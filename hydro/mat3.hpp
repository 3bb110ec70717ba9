#pragma once
// Small single-precision 3-vectors and 3x3 matrices for the rigid-body
// tensors. Matrices are column-major, indices are 0-based: m(k, l) is row k,
// column l.
#include <array>

namespace bw {

using Vec3 = std::array<float, 3>;

struct Mat3 {
    std::array<float, 9> a{};
    float& operator()(int k, int l) { return a[k + 3 * l]; }
    float operator()(int k, int l) const { return a[k + 3 * l]; }
};

inline Mat3 diag3(float d1, float d2, float d3) {
    Mat3 m;
    m(0, 0) = d1;
    m(1, 1) = d2;
    m(2, 2) = d3;
    return m;
}

// UMAT(r): the antisymmetric matrix with UMAT(r) v = r x v, rows
// (0, -z, y), (z, 0, -x), (-y, x, 0).
inline Mat3 UMAT(const Vec3& r) {
    Mat3 u;
    u(0, 1) = -r[2];
    u(0, 2) = r[1];
    u(1, 0) = r[2];
    u(1, 2) = -r[0];
    u(2, 0) = -r[1];
    u(2, 1) = r[0];
    return u;
}

// Product a b in single precision, each element summed over m = 0, 1, 2 from
// 0.0f in that order.
inline Mat3 mul3(const Mat3& a, const Mat3& b) {
    Mat3 c;
    for (int l = 0; l < 3; ++l)
        for (int k = 0; k < 3; ++k) {
            float s = 0.0f;
            for (int m = 0; m < 3; ++m) s += a(k, m) * b(m, l);
            c(k, l) = s;
        }
    return c;
}

}  // namespace bw
