#pragma once
// The diagnosis of a run as text: the table shown on standard output, the
// JSON document of --json and the CSV series of --series. Functions from
// values to strings; the entry point writes them.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "diagnose/diagnosis.hpp"
#include "diagnose/series_recorder.hpp"

namespace bw::diagnose {

struct PropertyReport {
    std::string key;                  // "r2", "s2", "D", "eta"
    std::string label;                // "<r2>*", ...
    std::array<std::string, 2> printed;  // mean and error fields of the beadwalks report
    PropertyDiagnosis diagnosis;
};

struct DataSetDiagnosis {
    std::int32_t index = 0;  // 1 for the first data set of the file
    std::int32_t N = 0;
    DataSetShape shape;
    std::vector<PropertyReport> properties;  // r2, s2, then D and eta with hydrodynamics
};

// Keys and labels of the first `count` properties, in property order.
std::vector<std::array<std::string, 2>> property_names(std::size_t count);

// The table of one data set, one record per line.
std::vector<std::string> table_records(const DataSetDiagnosis& ds);

// {"data_sets": [...]} with every data set diagnosed, ending with a newline.
std::string json_document(const std::vector<DataSetDiagnosis>& sets);

// subsample,sample,cycle and one column per kept property; cycle counts
// Monte Carlo cycles from the start of the subsample.
std::string series_csv(const SeriesRecorder& series, const DataSetDiagnosis& ds);

// A printed field as a JSON number: trimmed, a leading "." completed to
// "0."; null when it is not a number (asterisks, NaN, Inf).
std::string json_number(const std::string& field);

}  // namespace bw::diagnose
