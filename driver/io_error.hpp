#pragma once
// A fatal input/output failure: the program stops at once with a one-line
// diagnostic naming the failure, the unit and the file, e.g.
// "input conversion error, unit 4, file data.txt". Unit 5 is the console
// input ("stdin"), unit 4 the input data file, unit 8 the output file.
#include <stdexcept>
#include <string>

namespace bw {

inline constexpr int kConsoleUnit = 5;
inline constexpr int kInputUnit = 4;
inline constexpr int kOutputUnit = 8;

class IoError : public std::runtime_error {
public:
    IoError(const std::string& failure, int unit, const std::string& file)
        : std::runtime_error(failure + ", unit " + std::to_string(unit) + ", file " + file) {}
};

}  // namespace bw
