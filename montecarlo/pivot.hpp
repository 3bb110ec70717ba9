#pragma once
// Geometry of a pivot move: the part of the chain beyond an inner bead k is
// turned about bead k as one rigid body, by a rotation drawn uniformly over
// all rotations. Distances within each part are kept (to the rounding of the
// new coordinates), so bond lengths and springs do not change; only the
// pairs with one bead on each side of k change their energy. One pivot moves
// the global shape of the chain at once, where local moves need of the order
// of N^2 cycles to relax it.
#include <array>
#include <cstdint>

namespace bw {

// A proper rotation (orthogonal, determinant +1), row-major: p' = R p.
struct Rotation {
    std::array<std::array<double, 3>, 3> R{};
};

// The rotation of the unit quaternion
//   q = (sqrt(1-u1) sin(2 pi u2), sqrt(1-u1) cos(2 pi u2), sqrt(u1) sin(2 pi u3), sqrt(u1) cos(2 pi u3))
// of three uniforms in [0, 1): q is uniform on the unit 3-sphere, so the
// rotation is uniform over all rotations (Shoemake's subgroup algorithm).
// The inverse rotation is drawn with the same density, which makes the pivot
// proposal symmetric and the Metropolis rule exact.
Rotation uniform_rotation(float u1, float u2, float u3);

// Bead (x, y, z) turned by rot about the centre c: c + R (p - c), formed in
// double precision and rounded to single precision once.
inline void turn_about(const Rotation& rot, float cx, float cy, float cz, float& x, float& y, float& z) {
    const double dx = double{x} - cx, dy = double{y} - cy, dz = double{z} - cz;
    const auto& R = rot.R;
    x = static_cast<float>(cx + (R[0][0] * dx + R[0][1] * dy + R[0][2] * dz));
    y = static_cast<float>(cy + (R[1][0] * dx + R[1][1] * dy + R[1][2] * dz));
    z = static_cast<float>(cz + (R[2][0] * dx + R[2][1] * dy + R[2][2] * dz));
}

// The inner bead 2..N-1 (N >= 3) of a uniform u on the grid j 2^-24 of RAN:
// 2 + floor(j (N - 2) / 2^24) in integers, so every inner bead has the same
// chance, to within one part in 2^24, and N - 1 is never passed.
inline std::int32_t pivot_bead(float u, std::int32_t N) {
    const auto j = static_cast<std::int64_t>(u * 0x1p24f);
    return 2 + static_cast<std::int32_t>((j * (N - 2)) >> 24);
}

}  // namespace bw
