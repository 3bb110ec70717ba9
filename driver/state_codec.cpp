#include "driver/state_codec.hpp"

namespace bw {

void put_run_data(ByteWriter& w, const RunData& rd) {
    for (std::int32_t v : {rd.ICODE, rd.N, rd.NCONF, rd.NCONFAVE, rd.ISEED, rd.IHYD, rd.NPR, rd.NFREQ, rd.NCONFSUB,
                           rd.NPROG, rd.NPROP, rd.NPIVOT})
        w.i32(v);
    for (float v : {rd.RMAX, rd.DHS, rd.DELTAPHI, rd.EPS, rd.SIG, rd.A, rd.ALPHA, rd.RCUT, rd.HOOK, rd.AMPL, rd.RCUT2})
        w.f32(v);
}

RunData get_run_data(ByteReader& r) {
    RunData rd;
    for (std::int32_t* v : {&rd.ICODE, &rd.N, &rd.NCONF, &rd.NCONFAVE, &rd.ISEED, &rd.IHYD, &rd.NPR, &rd.NFREQ,
                            &rd.NCONFSUB, &rd.NPROG, &rd.NPROP, &rd.NPIVOT})
        *v = r.i32();
    for (float* v : {&rd.RMAX, &rd.DHS, &rd.DELTAPHI, &rd.EPS, &rd.SIG, &rd.A, &rd.ALPHA, &rd.RCUT, &rd.HOOK, &rd.AMPL,
                     &rd.RCUT2})
        *v = r.f32();
    return rd;
}

void put_result(ByteWriter& w, const DataSetResult& result) {
    w.i64(result.NREJ);
    w.i64(result.NPREJ);
    w.u64(result.PSTAT.size());
    for (const auto& p : result.PSTAT) {
        w.f32(p[0]);
        w.f32(p[1]);
    }
}

DataSetResult get_result(ByteReader& r) {
    DataSetResult result;
    result.NREJ = r.i64();
    result.NPREJ = r.i64();
    result.PSTAT.resize(r.count(2 * sizeof(float)));
    for (auto& p : result.PSTAT) {
        p[0] = r.f32();
        p[1] = r.f32();
    }
    return result;
}

void put_state(ByteWriter& w, const DataSetState& state) {
    const SamplerState& s = state.sampler;
    for (std::int32_t v : {s.ISEED, s.ISUB, s.ICONF, s.sweep}) w.i32(v);
    w.i64(s.NREJ);
    w.i64(s.NPREJ);
    for (const std::vector<float>* v : {&s.X, &s.Y, &s.Z, &s.EPAIR, &state.PSUB}) w.floats(*v);
}

DataSetState get_state(ByteReader& r) {
    DataSetState state;
    SamplerState& s = state.sampler;
    for (std::int32_t* v : {&s.ISEED, &s.ISUB, &s.ICONF, &s.sweep}) *v = r.i32();
    s.NREJ = r.i64();
    s.NPREJ = r.i64();
    for (std::vector<float>* v : {&s.X, &s.Y, &s.Z, &s.EPAIR, &state.PSUB}) *v = r.floats();
    return state;
}

}  // namespace bw
