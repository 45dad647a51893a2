// Estimated bit costs of literals and matches, learnt from the symbols parsed so far, so that
// the lazy parse can weigh a match against the alternatives in bits rather than in length alone.
#pragma once

#include <array>
#include <cstdint>

#include "mapdata/detail/deflate_codes.h"
#include "mapdata/detail/deflate_symbols.h"
#include "mapdata/detail/deflate_tunables.h"

namespace kx::detail {

// Costs are in sixteenths of a bit.
class CostModel {
 public:
  static constexpr int kScale = 16;

  CostModel() { Reset(); }

  // Forgets what was learnt; costs fall back to typical values for text.
  void Reset();
  // Learns from the counts of the symbols parsed since the last call; older counts keep half
  // their weight.
  void Learn(const Histogram& recent);

  [[nodiscard]] uint32_t Literal(uint8_t byte) const { return literal_[byte]; }
  [[nodiscard]] uint32_t Match(int length, int distance) const {
    const int d = DistanceSymbol(distance);
    return length_[length] + distance_[d] + kDistanceExtraBits[d] * kScale;
  }

 private:
  Histogram counts_;
  std::array<uint32_t, 256> literal_;
  std::array<uint32_t, 259> length_;  // length symbol and extra bits, by match length
  std::array<uint32_t, kNumDistanceSymbols> distance_;
};

}  // namespace kx::detail
