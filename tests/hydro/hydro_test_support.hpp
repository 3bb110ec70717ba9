#pragma once
// A bead model owning its arrays, for the hydrodynamics tests.
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "hydro/hydro_model.hpp"
#include "hydro/packed.hpp"

namespace bw::test {

struct BeadModel {
    std::int32_t N = 0;
    std::int32_t LDC = 0;
    std::vector<float> coord;  // LDC x 3, column-major
    std::vector<float> rad;
    std::vector<float> ap;

    explicit BeadModel(const std::vector<Vec3>& pos, float radius = 0.257f, std::int32_t ldc = 0)
        : N(static_cast<std::int32_t>(pos.size())),
          LDC(ldc > 0 ? ldc : static_cast<std::int32_t>(pos.size())),
          coord(static_cast<std::size_t>(LDC) * 3, 0.0f),
          rad(pos.size(), radius),
          ap(static_cast<std::size_t>(packed_size(3 * std::int64_t{N})), 0.0f) {
        for (std::int32_t i = 0; i < N; ++i)
            for (int m = 0; m < 3; ++m) x(i, m) = pos[i][m];
    }

    float& x(std::int32_t i, int m) { return coord[i + static_cast<std::size_t>(m) * LDC]; }
    CoordView view() const { return {coord.data(), LDC}; }

    HydroModel model(std::int32_t IND = 1, std::int32_t IP = 0) {
        HydroModel m;
        m.IND = IND;
        m.IP = IP;
        m.LDC = LDC;
        m.N = N;
        m.COORD = coord.data();
        m.RAD = rad.data();
        m.NAP = static_cast<std::int32_t>(ap.size());
        m.AP = ap.data();
        return m;
    }
};

// A random walk of unit steps from the origin.
inline std::vector<Vec3> random_walk(std::int32_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<double> g(0.0, 1.0);
    std::vector<Vec3> pos(static_cast<std::size_t>(n));
    double p[3] = {0.0, 0.0, 0.0};
    for (std::int32_t i = 0; i < n; ++i) {
        for (int m = 0; m < 3; ++m) pos[i][m] = static_cast<float>(p[m]);
        double s[3] = {g(gen), g(gen), g(gen)};
        const double len = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        for (int m = 0; m < 3; ++m) p[m] += s[m] / len;
    }
    return pos;
}

// Value of a record field written as 1P Dw.d, read back.
inline double read_d_field(std::string field) {
    for (char& c : field)
        if (c == 'D') c = 'E';
    return std::stod(field);
}

}  // namespace bw::test
