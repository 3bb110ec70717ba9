#pragma once
// Shared by the fuzz targets: a check that aborts with a message (libFuzzer
// then keeps the input as a crash artifact), and a cursor over the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace bw::fuzz {

#define FUZZ_CHECK(cond, what)                                                          \
    do {                                                                                \
        if (!(cond)) {                                                                  \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, __FILE__, __LINE__); \
            std::abort();                                                               \
        }                                                                               \
    } while (0)

// Takes fixed-size values from the front of the input; zeros once it is used up.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    template <class T>
    T take() {
        T v{};
        const std::size_t n = sizeof(T) < size_ ? sizeof(T) : size_;
        std::memcpy(&v, data_, n);
        data_ += n;
        size_ -= n;
        return v;
    }
    // Whatever is left, as text.
    std::string rest() const { return std::string(reinterpret_cast<const char*>(data_), size_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace bw::fuzz
