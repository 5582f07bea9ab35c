// Fixed-ratio reductions of 4- and 8-bit records (some also 24-bit) to a lower resolution, by picking
// rows and columns with a fixed index pattern (300 to 200 mixes columns). Each writes a new record into
// `destination` and returns 1, or -552 for a record that does not fit its buffer, an unsupported depth, a
// source resolution other than the named one, or a destination too small for the result (which then stays
// untouched). 300To240 and 300To200 also work in place (source and destination the same buffer).
#pragma once

#include <cstdint>
#include <span>

namespace zc::imaging {

int funcImage200To120(std::span<const uint8_t> source, std::span<uint8_t> destination);
int funcImage300To240(std::span<const uint8_t> source, std::span<uint8_t> destination);
int funcImage300To200(std::span<const uint8_t> source, std::span<uint8_t> destination);
int funcImage300To100(std::span<const uint8_t> source, std::span<uint8_t> destination);
int funcImage300To120(std::span<const uint8_t> source, std::span<uint8_t> destination);
// Any source resolution; the result has half of it.
int funcImage200To100(std::span<const uint8_t> source, std::span<uint8_t> destination);

}  // namespace zc::imaging
