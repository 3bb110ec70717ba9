#pragma once
// SHA-256 (FIPS 180-4), for telling whether a checkpoint belongs to the
// bytes of an input and an output file, and whether it arrived whole.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace bw {

using Digest = std::array<std::uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    void update(const void* data, std::size_t n);
    void update(std::string_view s) { update(s.data(), s.size()); }
    // The digest of everything given so far; the hash may go on after it.
    Digest digest() const;
    std::uint64_t length() const { return length_; }

private:
    void block(const std::uint8_t* p);

    std::array<std::uint32_t, 8> h_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;
};

Digest sha256(std::string_view bytes);
std::string hex(const Digest& d);

}  // namespace bw
