// The byte format the fuzz targets read: one-byte choices and values taken
// from the front. A stream that runs out reads as zeros, so every byte string
// is a case, and a short one is a small, valid one.
#ifndef FUZZ_FUZZ_INPUT_HPP
#define FUZZ_FUZZ_INPUT_HPP

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace fuzz {

// The values a byte names directly: those where range and whole-number checks
// go wrong (NaN, signed zero, infinities, the 32-bit edges, halves, values a
// hair off a whole number) and the codes and limits of the transition modules.
inline const std::vector<double>& namedValues() {
    // A table, grouped by kind.
    // clang-format off
    static const std::vector<double> values = {
        0.0, 1.0, 2.0, 3.0, 4.0, -1.0, 0.5, 0.25, 0.75, 1.5, -0.5, -0.0,
        std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), 2147483647.0, 2147483648.0, -2147483648.0, -2147483649.0,
        4294967296.0, 9.2233720368547758e18, 1e300, std::numeric_limits<double>::denorm_min(),
        0.9999999999999999, 1.0000000000000002, 1000001.0, 2000001.0, 3000002.0, 2147000001.0, 2147999999.0,
        2148.0, 2149.0};
    // clang-format on
    return values;
}

// After the named values, byte b stands for the whole number b - kFirstWhole
// + namedValues().size(); this byte announces eight bytes of a raw double.
constexpr std::uint8_t kRawValue = 0xFF;
constexpr double kFirstWhole = 5.0;

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // The next byte, 0 past the end.
    std::uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }

    // A choice from 0 to count - 1 (0 when count is 0), one byte.
    std::size_t below(std::size_t count) { return count == 0 ? 0 : byte() % count; }

    // A choice from 0 to count - 1 (0 when count is 0), two bytes.
    std::size_t wideBelow(std::size_t count) {
        std::size_t high = byte();
        return count == 0 ? 0 : (high << 8 | byte()) % count;
    }

    double value() {
        std::uint8_t b = byte();
        const std::vector<double>& named = namedValues();
        if (b < named.size()) return named[b];
        if (b != kRawValue) return kFirstWhole + static_cast<double>(b - named.size());
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits = bits << 8 | byte();
        double raw;
        std::memcpy(&raw, &bits, sizeof raw);
        return raw;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// Writes what a Reader reads back: for the seed inputs.
class Writer {
public:
    void choice(std::uint8_t c) { bytes_.push_back(c); }

    void value(double v) {
        const std::vector<double>& named = namedValues();
        for (std::size_t i = 0; i < named.size(); ++i) {
            if (std::memcmp(&named[i], &v, sizeof v) == 0) return choice(static_cast<std::uint8_t>(i));
        }
        double last = kFirstWhole + static_cast<double>(kRawValue - 1 - named.size());
        if (v >= kFirstWhole && v <= last && std::trunc(v) == v) {
            return choice(static_cast<std::uint8_t>(v - kFirstWhole + static_cast<double>(named.size())));
        }
        choice(kRawValue);
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        for (int shift = 56; shift >= 0; shift -= 8) choice(static_cast<std::uint8_t>(bits >> shift));
    }

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace fuzz

#endif
