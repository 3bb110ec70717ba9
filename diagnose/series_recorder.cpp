#include "diagnose/series_recorder.hpp"

#include <stdexcept>
#include <string>

namespace bw::diagnose {

SeriesRecorder::SeriesRecorder(std::size_t count, std::size_t per_subsample) : count_(count) {
    for (std::vector<float>& v : values_) v.reserve(count * per_subsample);
}

void SeriesRecorder::conformation(std::int32_t isub, std::span<const float> PROP) {
    if (isub < 1 || isub > NSUB) throw std::out_of_range("series: subsample " + std::to_string(isub));
    if (PROP.size() < count_) throw std::invalid_argument("series: property vector shorter than the series kept");
    std::vector<float>& v = values_[static_cast<std::size_t>(isub - 1)];
    v.insert(v.end(), PROP.begin(), PROP.begin() + static_cast<std::ptrdiff_t>(count_));
}

std::vector<std::vector<double>> SeriesRecorder::series(std::size_t p) const {
    std::vector<std::vector<double>> runs(NSUB);
    for (std::size_t j = 0; j < NSUB; ++j) {
        const std::size_t n = samples(j);
        runs[j].resize(n);
        for (std::size_t t = 0; t < n; ++t) runs[j][t] = value(j, t, p);
    }
    return runs;
}

}  // namespace bw::diagnose
