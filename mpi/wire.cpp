#include "mpi/wire.hpp"

#include <cstring>
#include <stdexcept>

namespace bw::mpi {

void Writer::i32(std::int32_t v) {
    const auto* p = reinterpret_cast<const char*>(&v);
    bytes.insert(bytes.end(), p, p + sizeof v);
}

void Writer::i64(std::int64_t v) {
    const auto* p = reinterpret_cast<const char*>(&v);
    bytes.insert(bytes.end(), p, p + sizeof v);
}

void Writer::f32(float v) {
    const auto* p = reinterpret_cast<const char*>(&v);
    bytes.insert(bytes.end(), p, p + sizeof v);
}

void Writer::text(std::string_view s) {
    i64(static_cast<std::int64_t>(s.size()));
    bytes.insert(bytes.end(), s.begin(), s.end());
}

void Reader::take(void* to, std::size_t n) {
    if (bytes_.size() - pos_ < n) throw std::runtime_error("beadwalks-mpi: a message ended too soon");
    std::memcpy(to, bytes_.data() + pos_, n);
    pos_ += n;
}

std::int32_t Reader::i32() {
    std::int32_t v;
    take(&v, sizeof v);
    return v;
}

std::int64_t Reader::i64() {
    std::int64_t v;
    take(&v, sizeof v);
    return v;
}

float Reader::f32() {
    float v;
    take(&v, sizeof v);
    return v;
}

std::string Reader::text() {
    const std::int64_t n = i64();
    if (n < 0 || static_cast<std::size_t>(n) > bytes_.size() - pos_)
        throw std::runtime_error("beadwalks-mpi: a message ended too soon");
    std::string s(bytes_.data() + pos_, static_cast<std::size_t>(n));
    pos_ += static_cast<std::size_t>(n);
    return s;
}

void put_run_data(Writer& w, const RunData& rd) {
    for (std::int32_t v : {rd.ICODE, rd.N, rd.NCONF, rd.NCONFAVE, rd.ISEED, rd.IHYD, rd.NPR, rd.NFREQ, rd.NCONFSUB,
                           rd.NPROG, rd.NPROP})
        w.i32(v);
    for (float v : {rd.RMAX, rd.DHS, rd.DELTAPHI, rd.EPS, rd.SIG, rd.A, rd.ALPHA, rd.RCUT, rd.HOOK, rd.AMPL, rd.RCUT2})
        w.f32(v);
}

RunData get_run_data(Reader& r) {
    RunData rd;
    for (std::int32_t* v : {&rd.ICODE, &rd.N, &rd.NCONF, &rd.NCONFAVE, &rd.ISEED, &rd.IHYD, &rd.NPR, &rd.NFREQ,
                            &rd.NCONFSUB, &rd.NPROG, &rd.NPROP})
        *v = r.i32();
    for (float* v : {&rd.RMAX, &rd.DHS, &rd.DELTAPHI, &rd.EPS, &rd.SIG, &rd.A, &rd.ALPHA, &rd.RCUT, &rd.HOOK, &rd.AMPL,
                     &rd.RCUT2})
        *v = r.f32();
    return rd;
}

void put_result(Writer& w, const DataSetResult& result) {
    w.i64(result.NREJ);
    w.i64(static_cast<std::int64_t>(result.PSTAT.size()));
    for (const auto& p : result.PSTAT) {
        w.f32(p[0]);
        w.f32(p[1]);
    }
}

DataSetResult get_result(Reader& r) {
    DataSetResult result;
    result.NREJ = r.i64();
    const std::int64_t n = r.i64();
    if (n < 0) throw std::runtime_error("beadwalks-mpi: a message ended too soon");
    result.PSTAT.resize(static_cast<std::size_t>(n));
    for (auto& p : result.PSTAT) {
        p[0] = r.f32();
        p[1] = r.f32();
    }
    return result;
}

}  // namespace bw::mpi
