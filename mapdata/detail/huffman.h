// Prefix codes for deflate blocks: optimal code lengths under a length limit, and the canonical
// codes that the lengths define.
#pragma once

#include <cstdint>
#include <span>

namespace kx::detail {

// Sets lengths[i] for the symbols of `frequencies` so that the total coded size
// sum(frequency * length) is the smallest possible with no length above maxLength
// (package-merge). Unused symbols get length 0. The code always has at least two symbols,
// making it complete: with fewer than two used symbols, the lowest unused ones join with
// length 1. Requires 2 <= frequencies.size() <= 288 and 2^maxLength >= frequencies.size().
void BuildCodeLengths(std::span<const uint32_t> frequencies, int maxLength,
                      std::span<uint8_t> lengths);

// Canonical codes of the lengths, bit-reversed so that they can be written least significant
// bit first, as deflate's bit order requires.
void BuildCanonicalCodes(std::span<const uint8_t> lengths, std::span<uint16_t> codes);

}  // namespace kx::detail
