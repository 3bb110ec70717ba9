#pragma once
// A fatal input/output failure: the program stops at once with a one-line
// diagnostic naming the failure, the unit and the file, e.g.
// "input conversion error, unit 4, file data.txt". Unit 5 is the console
// input ("stdin"), unit 4 the input data file, unit 8 the output file.
#include <stdexcept>
#include <string>

namespace bw {

inline constexpr int kConsoleUnit = 5;
inline constexpr int kConsoleOutputUnit = 6;
inline constexpr int kInputUnit = 4;
inline constexpr int kOutputUnit = 8;

// The file name as the diagnostic shows it: control characters (a NUL, a
// carriage return typed into a name) are written as \xNN so that the
// diagnostic stays one readable line.
inline std::string printable_name(const std::string& name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c != 0x7F) {
            out += ch;
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

class IoError : public std::runtime_error {
public:
    IoError(const std::string& failure, int unit, const std::string& file)
        : std::runtime_error(failure + ", unit " + std::to_string(unit) + ", file " + printable_name(file)),
          unit_(unit) {}
    // A fatal failure of the run that concerns no unit (a process of a
    // parallel run lost): the diagnostic is the message itself.
    explicit IoError(const std::string& message) : std::runtime_error(message) {}
    // The unit that failed; 0 for none.
    int unit() const { return unit_; }

private:
    int unit_ = 0;
};

}  // namespace bw
