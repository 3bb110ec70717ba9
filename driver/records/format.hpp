#pragma once
// Formatted records built from edit descriptors: Iw, Fw.d, 1P Dw.d, Aw, nX,
// literal text. A value that does not fit its field is written as w asterisks.
#include <cstdint>
#include <string>
#include <string_view>

namespace bw::rec {

// Iw: integer right-justified in w columns, "-" when negative.
std::string I(std::int64_t value, int w);
// Fw.d: the exact value of the float rounded to d decimals, ties away from
// zero; "0" before the point when there is room; NaN/Inf as "NaN", "Inf",
// "-Inf" right-justified when they fit.
std::string F(float value, int w, int d);
// 1PDw.d: one digit before the point, d after, exponent letter D, e.g.
// 12.34 as 1PD10.3 is " 1.234D+01".
std::string D1P(float value, int w, int d);
// Aw: character value in w columns (padded with blanks on the right when
// shorter, its first w characters when longer).
std::string A(std::string_view value, int w);
// nX: n blanks.
std::string X(int n);

// Convenience builder: Record().lit(" N=").i(n, 4).str()
class Record {
public:
    Record& lit(std::string_view text) { line_ += text; return *this; }
    Record& i(std::int64_t v, int w) { line_ += I(v, w); return *this; }
    Record& f(float v, int w, int d) { line_ += F(v, w, d); return *this; }
    Record& d1p(float v, int w, int d) { line_ += D1P(v, w, d); return *this; }
    Record& a(std::string_view v, int w) { line_ += A(v, w); return *this; }
    Record& x(int n) { line_ += X(n); return *this; }
    const std::string& str() const { return line_; }
    operator std::string() const { return line_; }
private:
    std::string line_;
};

}  // namespace bw::rec
