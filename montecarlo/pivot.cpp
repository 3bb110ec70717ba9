#include "montecarlo/pivot.hpp"

#include <cmath>

namespace bw {

Rotation uniform_rotation(float u1, float u2, float u3) {
    const double twopi = 6.283185307179586;
    const double a = std::sqrt(1.0 - u1), b = std::sqrt(double{u1});
    const double t1 = twopi * u2, t2 = twopi * u3;
    double w = a * std::sin(t1), x = a * std::cos(t1), y = b * std::sin(t2), z = b * std::cos(t2);
    // |q| = 1 to rounding; normalised so that R is orthogonal to rounding too.
    const double n = std::sqrt(w * w + x * x + y * y + z * z);
    w /= n, x /= n, y /= n, z /= n;
    Rotation rot;
    auto& R = rot.R;
    R[0] = {1.0 - 2.0 * (y * y + z * z), 2.0 * (x * y - w * z), 2.0 * (x * z + w * y)};
    R[1] = {2.0 * (x * y + w * z), 1.0 - 2.0 * (x * x + z * z), 2.0 * (y * z - w * x)};
    R[2] = {2.0 * (x * z - w * y), 2.0 * (y * z + w * x), 1.0 - 2.0 * (x * x + y * y)};
    return rot;
}

}  // namespace bw
