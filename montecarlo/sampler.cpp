#include "montecarlo/sampler.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "driver/records/format.hpp"
#include "montecarlo/crankshaft.hpp"
#include "montecarlo/iniconf.hpp"
#include "montecarlo/random.hpp"
#include "montecarlo/simulation_error.hpp"

namespace bw {

namespace {

bool finite3(float x, float y, float z) { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }

}  // namespace

// Calls f with the model of the run's family; the choice is made once, outside
// the loops over sweeps and beads.
template <class F>
decltype(auto) Sampler::with_model(F&& f) {
    switch (run_.ICODE) {
    case 1:
        return f(RigidBondModel{run_.DHS * run_.DHS, run_.DELTAPHI});
    case 2:
        return f(GaussianSpringModel{run_.HOOK, run_.EPS, run_.SIG, run_.RCUT2});
    case 3:
        return f(SoftSpringModel{run_.HOOK, run_.A, run_.ALPHA, run_.RCUT2});
    default:
        throw SimulationError("Monte Carlo: unknown model code " + std::to_string(run_.ICODE));
    }
}

std::int64_t Sampler::MCRUN(SampleSink& sink, RecordSink& console) {
    if (run_.N < 1 || run_.N > MAXBEADS) {
        throw SimulationError("Monte Carlo: bead count " + std::to_string(run_.N) + " outside 1.." +
                              std::to_string(MAXBEADS));
    }
    return with_model([&](const auto& model) { return run_subsamples(model, sink, console); });
}

template <class Model>
std::int64_t Sampler::run_subsamples(const Model& model, SampleSink& sink, RecordSink& console) {
    const std::int32_t NCONFSUB = run_.NCONFSUB;
    const std::int32_t NFREQ = run_.NFREQ;
    const std::int64_t NPROG = run_.NPROG > 0 ? run_.NPROG : 1;
    // A resumed run picks the loops up at the boundary it was captured at.
    const SamplerState* from = resume_;
    resume_ = nullptr;
    if (from != nullptr) {
        restore(*from);
    } else {
        sink.begin();
        NREJ_ = 0;
        NPREJ_ = 0;
    }
    for (std::int32_t ISUB = from != nullptr ? from->ISUB : 1; ISUB <= NSUB; ++ISUB) {
        if (from == nullptr) {
            INICONF(run_.N, run_.ISEED, conf_);
            load(conf_);
            console.record(rec::Record().lit(" ***** Subsample").i(ISUB, 2).lit("  ******").str());
        }
        for (std::int32_t ICONF = from != nullptr ? from->ICONF : 1; ICONF <= NCONFSUB; ++ICONF) {
            for (std::int32_t s = from != nullptr ? from->sweep : 0; s < NFREQ; ++s) {
                if (stop_.stop_requested()) throw DataSetStopped();
                boundary(ISUB, ICONF, s);
                cycle(model);
            }
            from = nullptr;
            boundary(ISUB, ICONF, NFREQ);
            copy_to(conf_);
            sink.sample(conf_, ISUB);
            const std::int64_t overall = std::int64_t{ISUB - 1} * NCONFSUB + ICONF;
            if (overall % NPROG == 0) {
                console.record(
                    rec::Record().lit(" Subsample:").i(ISUB, 3).lit("   Conformation:").i(ICONF, 15).str());
            }
        }
        from = nullptr;
    }
    sink.finish();
    return NREJ_;
}

// Hands the state to the tap when it is wanted. A boundary with its sweeps
// done (sweep = NFREQ) is offered only when NFREQ is 0: otherwise it was
// offered before the last sweep, and a sampled conformation follows at once.
void Sampler::boundary(std::int32_t ISUB, std::int32_t ICONF, std::int32_t sweep) {
    if (tap_ == nullptr || (sweep > 0 && sweep == run_.NFREQ) || !tap_->wanted()) return;
    const auto N = static_cast<std::size_t>(run_.N);
    SamplerState state;
    state.ISEED = run_.ISEED;
    state.ISUB = ISUB;
    state.ICONF = ICONF;
    state.sweep = sweep;
    state.NREJ = NREJ_;
    state.NPREJ = NPREJ_;
    state.X.assign(X.begin(), X.begin() + static_cast<std::ptrdiff_t>(N));
    state.Y.assign(Y.begin(), Y.begin() + static_cast<std::ptrdiff_t>(N));
    state.Z.assign(Z.begin(), Z.begin() + static_cast<std::ptrdiff_t>(N));
    state.EPAIR.resize(N * N);
    for (std::int32_t k = 1; k <= run_.N; ++k)
        for (std::int32_t i = 1; i <= run_.N; ++i) state.EPAIR[(i - 1) + (k - 1) * N] = EPAIR_(i, k);
    tap_->capture(state);
}

void Sampler::restore(const SamplerState& state) {
    const auto N = static_cast<std::size_t>(run_.N);
    if (state.X.size() != N || state.Y.size() != N || state.Z.size() != N || state.EPAIR.size() != N * N ||
        state.ISUB < 1 || state.ISUB > NSUB || state.ICONF < 1 || state.ICONF > run_.NCONFSUB || state.sweep < 0 ||
        state.sweep > std::max(run_.NFREQ, 0)) {
        throw SimulationError("Monte Carlo: a saved state that does not fit the data set");
    }
    run_.ISEED = state.ISEED;
    NREJ_ = state.NREJ;
    NPREJ_ = state.NPREJ;
    for (std::size_t i = 0; i < N; ++i) X[i] = state.X[i], Y[i] = state.Y[i], Z[i] = state.Z[i];
    for (std::int32_t k = 1; k <= run_.N; ++k)
        for (std::int32_t i = 1; i <= run_.N; ++i) EPAIR_(i, k) = state.EPAIR[(i - 1) + (k - 1) * N];
}

void Sampler::start_subsample() {
    INICONF(run_.N, run_.ISEED, conf_);
    load(conf_);
}

void Sampler::load(const Conformation& conf) {
    for (std::int32_t i = 0; i < conf.N; ++i) X[i] = conf.x[i], Y[i] = conf.y[i], Z[i] = conf.z[i];
    with_model([&](const auto& model) { fill(model); });
}

template <class Model>
void Sampler::fill(const Model& model) {
    if (!fill_pair_energies(model, run_.N, X.data(), Y.data(), Z.data(), EPAIR_)) {
        throw SimulationError("Monte Carlo: a pair energy of the initial chain is not finite;"
                              " the interaction parameters cannot be simulated");
    }
}

void Sampler::copy_to(Conformation& conf) const {
    conf.N = run_.N;
    for (std::int32_t i = 0; i < run_.N; ++i) conf.x[i] = X[i], conf.y[i] = Y[i], conf.z[i] = Z[i];
}

void Sampler::SWEEP() {
    with_model([&](const auto& model) { sweep(model); });
}

bool Sampler::move(std::int32_t i) {
    return with_model([&](const auto& model) { return move_bead(model, i); });
}

void Sampler::CYCLE() {
    with_model([&](const auto& model) { cycle(model); });
}

bool Sampler::pivot() {
    const std::int32_t N = run_.N;
    if (N < 3) return false;
    const std::int32_t k = pivot_bead(RAN(run_.ISEED), N);
    const bool before = RAN(run_.ISEED) < 0.5f;
    const float u1 = RAN(run_.ISEED);
    const float u2 = RAN(run_.ISEED);
    const float u3 = RAN(run_.ISEED);
    return pivot(k, before, uniform_rotation(u1, u2, u3));
}

bool Sampler::pivot(std::int32_t k, bool before, const Rotation& rot) {
    return with_model([&](const auto& model) { return pivot_move(model, k, before, rot); });
}

template <class Model>
void Sampler::sweep(const Model& model) {
    for (std::int32_t i = 1; i <= run_.N; ++i) move_bead(model, i);
}

template <class Model>
void Sampler::cycle(const Model& model) {
    sweep(model);
    for (std::int32_t j = 0; j < run_.NPIVOT; ++j) pivot();
}

// Family 1. An end bead swings its bond into a new random direction about its
// neighbour (two unit vectors are drawn for either end, the one of the other
// end discarded); an inner bead makes a crankshaft turn. The trial position is
// refused at the first bead it overlaps.
bool Sampler::move_bead(const RigidBondModel& model, std::int32_t i) {
    const std::int32_t N = run_.N;
    if (N < 2) return false;  // a lone bead has no bond to turn: no move, no draw
    if (i == 1 || i == N) {
        float d1x, d1y, d1z, d2x, d2y, d2z;
        RANVEC(run_.ISEED, d1x, d1y, d1z);
        RANVEC(run_.ISEED, d2x, d2y, d2z);
        if (i == N) {
            TX = X[N - 2] + d2x, TY = Y[N - 2] + d2y, TZ = Z[N - 2] + d2z;
        } else {
            TX = X[1] + d1x, TY = Y[1] + d1y, TZ = Z[1] + d1z;
        }
    } else {
        const float phi = (RAN(run_.ISEED) - 0.5f) * model.DELTAPHI;
        Point3 T;
        // A degenerate geometry (la = 0 or lv = 0) leaves the rotation
        // undefined: the bead stays and the move counts as refused.
        if (!crankshaft_trial({X[i - 2], Y[i - 2], Z[i - 2]}, {X[i - 1], Y[i - 1], Z[i - 1]},
                              {X[i], Y[i], Z[i]}, phi, T)) {
            return refuse();
        }
        TX = T.x, TY = T.y, TZ = T.z;
    }
    if (!finite3(TX, TY, TZ)) return refuse();
    if (kernel_ == SweepKernel::scalar) {
        if (overlaps_any(model, i)) return refuse();
    } else {
        // Any overlap refuses the move, whichever bead is found first, so the
        // whole chain is tested at once; a bead overlaps exactly when its
        // squared distance is <= DHS2 (each squared coordinate difference is
        // at most that sum, so the screening never clears an overlap).
        LaneMask hit = overlap_lanes(kernel_, chain(), {TX, TY, TZ}, model.DHS2);
        hit.clear(i - 1);
        if (hit.any()) return refuse();
    }
    X[i - 1] = TX, Y[i - 1] = TY, Z[i - 1] = TZ;
    return true;
}

// Each bead is screened one coordinate at a time (x, y, z, each strictly
// greater than DHS2 clears it) before the full squared distance is formed:
// with DHS small against the bead spacing almost every bead is cleared by its
// x distance alone.
bool Sampler::overlaps_any(const RigidBondModel& model, std::int32_t i) const {
    const float DHS2 = model.DHS2;
    for (std::int32_t k = 1; k <= run_.N; ++k) {
        if (k == i) continue;
        const float dx = X[k - 1] - TX;
        if (dx * dx > DHS2) continue;
        const float dy = Y[k - 1] - TY;
        if (dy * dy > DHS2) continue;
        const float dz = Z[k - 1] - TZ;
        if (dz * dz > DHS2) continue;
        if (overlaps(squared_distance(TX, TY, TZ, X[k - 1], Y[k - 1], Z[k - 1]), DHS2)) return true;
    }
    return false;
}

// Families 2 and 3: a uniform displacement of width AMPL in each coordinate,
// accepted by the Metropolis rule on the energy change dE (in kT), computed
// from the N-1 pair energies of the moved bead only. A dE that is not finite
// (a trial position on top of a Lennard-Jones bead, an overflow) refuses the
// move without drawing the Metropolis value, so that no infinity or NaN
// reaches EPAIR or the coordinates.
template <class Model>
bool Sampler::move_bead(const Model& model, std::int32_t i) {
    const float AMPL = run_.AMPL;
    TX = X[i - 1] + AMPL * (RAN(run_.ISEED) - 0.5f);
    TY = Y[i - 1] + AMPL * (RAN(run_.ISEED) - 0.5f);
    TZ = Z[i - 1] + AMPL * (RAN(run_.ISEED) - 0.5f);
    if (!finite3(TX, TY, TZ)) return refuse();
    const float dE = kernel_ == SweepKernel::scalar ? energy_change(model, i) : energy_change_lanes(model, i);
    if (!std::isfinite(dE)) return refuse();
    if (dE > 0.0f) {
        const float u = RAN(run_.ISEED);
        if (!(std::exp(-dE) > u)) return refuse();
    }
    const auto store = [&](std::int32_t k) {
        EPAIR_(i, k + 1) = ENEW[k];
        EPAIR_(k + 1, i) = ENEW[k];
    };
    if (kernel_ == SweepKernel::scalar) {
        for (std::int32_t k = 0; k < run_.N; ++k) {
            if (k != i - 1) store(k);
        }
    } else {
        changed_.for_each(store);  // every other entry is +0 and stays so
    }
    X[i - 1] = TX, Y[i - 1] = TY, Z[i - 1] = TZ;
    return true;
}

// dE = sum over k /= i, in increasing k, of ENEW(k) - EPAIR(i,k), in single
// precision; fills ENEW. The straightforward loop, kept as the reference.
template <class Model>
float Sampler::energy_change(const Model& model, std::int32_t i) {
    float dE = 0.0f;
    for (std::int32_t k = 1; k <= run_.N; ++k) {
        if (k == i) continue;
        const float R2 = squared_distance(TX, TY, TZ, X[k - 1], Y[k - 1], Z[k - 1]);
        ENEW[k - 1] = pair_energy(model, i, k, R2);
        dE = dE + ENEW[k - 1] - EPAIR_(i, k);
    }
    return dE;
}

template <class Model>
float Sampler::energy_change_lanes(const Model& model, std::int32_t i) {
    return bw::energy_change_lanes(kernel_, model, chain(), {TX, TY, TZ}, i, EPAIR_.column(i), ENEW.data(),
                                   changed_);
}

std::int64_t MCRUN(RunData& run, SampleSink& sink, RecordSink& console) {
    return MCRUN(run, sink, console, {});
}

std::int64_t MCRUN(RunData& run, SampleSink& sink, RecordSink& console, std::stop_token stop) {
    auto sampler = std::make_unique<Sampler>(run);
    sampler->stop_on(std::move(stop));
    return sampler->MCRUN(sink, console);
}

float rejection_percentage(std::int64_t NREJ, std::int32_t NCONF, std::int32_t N) {
    const std::int64_t asked = std::int64_t{NCONF} * N;
    const float q = static_cast<float>(NREJ) / static_cast<float>(asked);
    return q * 100.0f;
}

}  // namespace bw
