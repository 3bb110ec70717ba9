#pragma once
// Crankshaft rotation of an inner bead of a rigid-bond chain: bead i turns by
// the angle phi about the axis through its neighbours i-1 and i+1, so both of
// its bonds keep their lengths. Lengths in bond lengths b, phi in radians.
#include <cmath>

namespace bw {

struct Point3 {
    float x, y, z;
};

// Trial position T of the bead at `cur` between `prev` and `next`:
//   e = (next - prev) / |next - prev|, m = (next + prev) / 2,
//   u = (cur - m) / lv with lv = |cur - m|, w = u x e,
//   T = m + (lv cos phi) u + (lv sin phi) w.
// Returns false, leaving T unset, when the rotation is undefined: the
// neighbours coincide (la = 0) or the bead sits on their midpoint (lv = 0).
inline bool crankshaft_trial(const Point3& prev, const Point3& cur, const Point3& next, float phi, Point3& T) {
    const float ax = next.x - prev.x, ay = next.y - prev.y, az = next.z - prev.z;
    const float la = std::sqrt(ay * ay + ax * ax + az * az);
    if (la == 0.0f) return false;
    const float ex = ax / la, ey = ay / la, ez = az / la;
    const float mx = (next.x + prev.x) * 0.5f, my = (next.y + prev.y) * 0.5f, mz = (next.z + prev.z) * 0.5f;
    const float vx = cur.x - mx, vy = cur.y - my, vz = cur.z - mz;
    const float lv = std::sqrt(vy * vy + vx * vx + vz * vz);
    if (lv == 0.0f) return false;
    const float ux = vx / lv, uy = vy / lv, uz = vz / lv;
    const float wx = uy * ez - uz * ey;
    const float wy = uz * ex - ux * ez;
    const float wz = ux * ey - uy * ex;
    const float lc = lv * std::cos(phi), ls = lv * std::sin(phi);
    T.x = mx + lc * ux + ls * wx;
    T.y = my + lc * uy + ls * wy;
    T.z = mz + lc * uz + ls * wz;
    return true;
}

}  // namespace bw
