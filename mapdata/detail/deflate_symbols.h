// The parse of the input as deflate symbols, and their statistics.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "mapdata/detail/deflate_codes.h"

namespace kx::detail {

// A literal byte (distance 0, value in litLen) or a match (length in litLen, distance 1..32768).
struct Symbol {
  uint16_t litLen;
  uint16_t distance;

  [[nodiscard]] bool IsLiteral() const { return distance == 0; }
  // Input bytes the symbol stands for.
  [[nodiscard]] uint32_t InputBytes() const { return IsLiteral() ? 1 : litLen; }
};

// Symbol counts of a stretch of symbols (the end-of-block symbol is the encoder's to add).
struct Histogram {
  std::array<uint32_t, kNumLitLenSymbols> litLen{};
  std::array<uint32_t, kNumDistanceSymbols> distance{};

  void Clear() {
    litLen.fill(0);
    distance.fill(0);
  }
  void Add(std::span<const Symbol> symbols) {
    for (const Symbol s : symbols) {
      if (s.IsLiteral()) {
        ++litLen[s.litLen];
      } else {
        ++litLen[LengthSymbol(s.litLen)];
        ++distance[DistanceSymbol(s.distance)];
      }
    }
  }
  void Add(const Histogram& other) {
    for (int i = 0; i < kNumLitLenSymbols; ++i) litLen[i] += other.litLen[i];
    for (int i = 0; i < kNumDistanceSymbols; ++i) distance[i] += other.distance[i];
  }
  // Bits of the length and distance extra fields that these symbols carry.
  [[nodiscard]] uint64_t ExtraBits() const {
    uint64_t bits = 0;
    for (int slot = 0; slot < kNumLengthSlots; ++slot) {
      bits += uint64_t{litLen[kFirstLengthSymbol + slot]} * kLengthExtraBits[slot];
    }
    for (int i = 0; i < kNumDistanceSymbols; ++i) {
      bits += uint64_t{distance[i]} * kDistanceExtraBits[i];
    }
    return bits;
  }
};

}  // namespace kx::detail
