#include "hydro/fast_gram.hpp"

#include "hydro/lapack.hpp"
#include "montecarlo/run_data.hpp"

namespace bw {

namespace {

// Levi-Civita symbol for 0-based indices.
constexpr int eps(int i, int j, int k) { return (i - j) * (j - k) * (k - i) / 2; }

// Centroid of the beads, in double precision.
std::array<double, 3> centroid(std::int32_t N, const float* COORD, std::int32_t LDC)
{
    std::array<double, 3> c{};
    for (int a = 0; a < 3; ++a) {
        double s = 0.0;
        for (int i = 0; i < N; ++i) s += COORD[i + LDC * a];
        c[a] = s / N;
    }
    return c;
}

// P = [T | C] with the coordinates relative to c, 3N x 12 column-major.
void fill_fields(std::int32_t N, const float* COORD, std::int32_t LDC, const std::array<double, 3>& c,
                 float* P)
{
    const std::int32_t n = 3 * N;
    for (int f = 0; f < NFIELD; ++f)
        for (std::int32_t p = 0; p < n; ++p) P[p + n * f] = 0.0f;
    for (std::int32_t i = 0; i < N; ++i) {
        for (int k = 0; k < 3; ++k) P[3 * i + k + n * field_T(k)] = 1.0f;
        for (int a = 0; a < 3; ++a) {
            const auto r = static_cast<float>(COORD[i + LDC * a] - c[a]);
            for (int m = 0; m < 3; ++m) P[3 * i + m + n * field_C(a, m)] = r;
        }
    }
}

}  // namespace

FastWork::FastWork() { reserve(MAXBEADS); }

void FastWork::reserve(std::int32_t N)
{
    const auto n = static_cast<std::size_t>(3 * N);
    if (A.size() < n * n) A.resize(n * n);
    if (P.size() < n * NFIELD) P.resize(n * NFIELD);
}

std::int32_t field_gram(std::int32_t N, const float* COORD, std::int32_t LDC, FastWork& work)
{
    FieldGram& gram = work.gram;
    const std::int32_t n = 3 * N;
    const std::int32_t info = lapack::spotrf_lower(n, work.A.data(), n);
    if (info != 0) return info;

    const auto c = centroid(N, COORD, LDC);
    fill_fields(N, COORD, LDC, c, work.P.data());
    lapack::strsm_lower_left(n, NFIELD, work.A.data(), n, work.P.data(), n);
    lapack::ssyrk_upper_trans(NFIELD, n, work.P.data(), n, work.Gf.data(), NFIELD);

    for (int g = 0; g < NFIELD; ++g)
        for (int f = 0; f <= g; ++f) {
            const double v = work.Gf[f + NFIELD * g];
            gram.G[f + NFIELD * g] = v;
            gram.G[g + NFIELD * f] = v;
        }
    gram.centre = c;
    return 0;
}

FieldGram shifted(const FieldGram& gram, const std::array<double, 3>& p)
{
    // Column f' of Q holds field f' (measured from p) in the basis of the
    // fields measured from gram.centre.
    std::array<double, NFIELD * NFIELD> Q{};
    for (int f = 0; f < NFIELD; ++f) Q[f + NFIELD * f] = 1.0;
    for (int a = 0; a < 3; ++a)
        for (int m = 0; m < 3; ++m) Q[field_T(m) + NFIELD * field_C(a, m)] = gram.centre[a] - p[a];

    std::array<double, NFIELD * NFIELD> GQ{};
    for (int j = 0; j < NFIELD; ++j)
        for (int i = 0; i < NFIELD; ++i) {
            double s = 0.0;
            for (int k = 0; k < NFIELD; ++k) s += gram(i, k) * Q[k + NFIELD * j];
            GQ[i + NFIELD * j] = s;
        }
    FieldGram out;
    out.centre = p;
    for (int j = 0; j < NFIELD; ++j)
        for (int i = 0; i < NFIELD; ++i) {
            double s = 0.0;
            for (int k = 0; k < NFIELD; ++k) s += Q[k + NFIELD * i] * GQ[k + NFIELD * j];
            out.G[i + NFIELD * j] = s;
        }
    return out;
}

FrictionSums friction_sums(const FieldGram& gram)
{
    const FieldGram g = shifted(gram, {0.0, 0.0, 0.0});
    FrictionSums out;
    for (int l = 0; l < 3; ++l)
        for (int k = 0; k < 3; ++k) {
            double frt = 0.0;
            double frr = 0.0;
            for (int a = 0; a < 3; ++a)
                for (int m = 0; m < 3; ++m) {
                    const int e1 = eps(k, a, m);
                    if (e1 == 0) continue;
                    frt += e1 * g(field_C(a, m), field_T(l));
                    for (int b = 0; b < 3; ++b)
                        for (int nn = 0; nn < 3; ++nn) {
                            const int e2 = eps(nn, b, l);
                            if (e2 != 0) frr -= e1 * e2 * g(field_C(a, m), field_C(b, nn));
                        }
                }
            out.FTT(k, l) = static_cast<float>(g(field_T(k), field_T(l)));
            out.FRT(k, l) = static_cast<float>(frt);
            out.FRR(k, l) = static_cast<float>(frr);
        }
    return out;
}

ViscosityCentreSums viscosity_centre_sums(const FieldGram& gram)
{
    const FieldGram g = shifted(gram, {0.0, 0.0, 0.0});
    ViscosityCentreSums out;
    for (int l = 0; l < 3; ++l)
        for (int k = 0; k < 3; ++k) out.FSUM(k, l) = static_cast<float>(g(field_T(k), field_T(l)));
    for (int m = 0; m < 3; ++m) {
        double b = 8.0 * g(field_C(m, m), field_T(m));
        for (int k = 0; k < 3; ++k) {
            if (k == m) continue;
            b += 6.0 * g(field_C(m, k), field_T(k)) + 6.0 * g(field_C(k, m), field_T(k))
                 - 4.0 * g(field_C(k, k), field_T(m));
        }
        out.BVEC[m] = static_cast<float>(b);
    }
    return out;
}

ViscositySums viscosity_sums(const FieldGram& gram, const Vec3& VISCEN)
{
    const FieldGram g = shifted(gram, {VISCEN[0], VISCEN[1], VISCEN[2]});
    ViscositySums s;
    for (int m = 0; m < 3; ++m) {
        s.VSUM1 += g(field_C(m, m), field_C(m, m));
        for (int k = 0; k < 3; ++k) {
            if (k == m) continue;
            s.VSUM2 += g(field_C(k, m), field_C(m, k));
            s.VSUM3 += g(field_C(m, m), field_C(k, k));
            s.VSUM4 += g(field_C(k, m), field_C(k, m));
        }
    }
    return s;
}

}  // namespace bw
