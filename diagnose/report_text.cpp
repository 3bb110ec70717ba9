#include "diagnose/report_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace bw::diagnose {
namespace {

// Shortest text that reads back as the same float.
std::string float_text(float v) {
    if (!std::isfinite(v)) return "null";
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return {buf, r.ptr};
}

std::string double_text(double v) {
    if (!std::isfinite(v)) return "null";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

std::string json_string(const std::string& s) {
    std::string out = "\"";
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// A table cell; a value the series could not give shows as "-".
std::string cell(const char* format, double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, v);
    std::string c = buf;
    if (!std::isfinite(v)) {
        const std::size_t width = std::strtoul(format + 1, nullptr, 10);
        c = std::string(width > 1 ? width - 1 : 0, ' ') + "-";
    }
    return c;
}

std::string property_json(const PropertyReport& p) {
    const PropertyDiagnosis& d = p.diagnosis;
    return "{\"mean\": " + float_text(d.mean) + ", \"error_subsamples\": " + float_text(d.error_subsamples) +
           ", \"tau_samples\": " + double_text(d.tau_samples) + ", \"tau_cycles\": " + double_text(d.tau_cycles) +
           ", \"n_eff\": " + double_text(d.n_eff) + ", \"error_autocorr\": " + double_text(d.error_autocorr) +
           ", \"burn_in_samples\": " + std::to_string(d.burn_in_samples) + ", \"burn_in_shift\": " +
           double_text(d.burn_in_shift) + ", \"verdict\": " + json_string(d.verdict) +
           ", \"advice\": " + json_string(d.advice) + "}";
}

std::string data_set_json(const DataSetDiagnosis& ds) {
    std::string report, properties;
    for (const PropertyReport& p : ds.properties) {
        const char* sep = report.empty() ? "" : ", ";
        report += sep + json_string(p.key) + ": {\"mean\": " + json_number(p.printed[0]) +
                  ", \"error\": " + json_number(p.printed[1]) + "}";
        properties += std::string(properties.empty() ? "" : ",\n      ") + json_string(p.key) + ": " +
                      property_json(p);
    }
    return "{\"index\": " + std::to_string(ds.index) + ", \"N\": " + std::to_string(ds.N) +
           ", \"NCONF\": " + std::to_string(ds.shape.NCONF) + ", \"NCONFAVE\": " + std::to_string(ds.shape.NCONFAVE) +
           ", \"NFREQ\": " + std::to_string(ds.shape.NFREQ) + ",\n    \"report\": {" + report +
           "},\n    \"properties\": {\n      " + properties + "}}";
}

}  // namespace

std::vector<std::array<std::string, 2>> property_names(std::size_t count) {
    static const std::array<std::array<std::string, 2>, 4> names = {
        {{"r2", "<r2>*"}, {"s2", "<s2>*"}, {"D", "D*"}, {"eta", "[eta]*"}}};
    return {names.begin(), names.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(count, 4))};
}

std::string json_number(const std::string& field) {
    const std::size_t first = field.find_first_not_of(' ');
    if (first == std::string::npos) return "null";
    std::string t = field.substr(first);
    const char* begin = t.c_str();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin || *end != '\0' || !std::isfinite(v) || t.find_first_of("nNiIxX") != std::string::npos)
        return "null";
    if (t[0] == '.') t.insert(0, "0");
    if (t.rfind("-.", 0) == 0) t.insert(1, "0");
    return t;
}

std::vector<std::string> table_records(const DataSetDiagnosis& ds) {
    std::vector<std::string> r;
    r.push_back(" --------------");
    r.push_back(" DIAGNOSIS OF THE ERROR BARS, data set " + std::to_string(ds.index) + ": " +
                std::to_string(ds.shape.NCONFAVE) + " samples, " + std::to_string(ds.shape.NFREQ) +
                " cycles apart");
    r.push_back(" property      mean     error  err(acf)  tau(samples) tau(cycles)     n_eff  burn-in     shift");
    for (const PropertyReport& p : ds.properties) {
        const PropertyDiagnosis& d = p.diagnosis;
        std::string line = " " + p.label + std::string(p.label.size() < 8 ? 8 - p.label.size() : 0, ' ');
        line += cell("%10.4g", d.mean) + cell("%10.3g", d.error_subsamples) + cell("%10.3g", d.error_autocorr) +
                cell("%14.4g", d.tau_samples) + cell("%12.4g", d.tau_cycles) + cell("%10.0f", d.n_eff) +
                cell("%9.0f", static_cast<double>(d.burn_in_samples)) + cell("%10.3g", d.burn_in_shift);
        r.push_back(line);
    }
    for (const PropertyReport& p : ds.properties) {
        const PropertyDiagnosis& d = p.diagnosis;
        r.push_back(" " + p.label + ": " + d.verdict);
        if (std::isfinite(d.tau_samples) && !d.window_found)
            r.push_back("     the subsamples are shorter than 5 autocorrelation times: tau is a lower bound");
        r.push_back("     advice: " + d.advice);
    }
    return r;
}

std::string json_document(const std::vector<DataSetDiagnosis>& sets) {
    std::string s = "{\"data_sets\": [";
    for (std::size_t i = 0; i < sets.size(); ++i) s += std::string(i ? ",\n  " : "\n  ") + data_set_json(sets[i]);
    return s + (sets.empty() ? "]}\n" : "\n]}\n");
}

std::string series_csv(const SeriesRecorder& series, const DataSetDiagnosis& ds) {
    std::string s = "subsample,sample,cycle";
    for (const PropertyReport& p : ds.properties) s += "," + p.key;
    s += '\n';
    for (std::size_t j = 0; j < NSUB; ++j) {
        for (std::size_t t = 0; t < series.samples(j); ++t) {
            s += std::to_string(j + 1) + ',' + std::to_string(t + 1) + ',' +
                 std::to_string(static_cast<std::int64_t>(t + 1) * ds.shape.NFREQ);
            for (std::size_t p = 0; p < series.count(); ++p) {
                const float v = series.value(j, t, p);
                s += ',' + (std::isfinite(v) ? float_text(v) : std::string(std::isnan(v) ? "nan" : v > 0 ? "inf" : "-inf"));
            }
            s += '\n';
        }
    }
    return s;
}

}  // namespace bw::diagnose
