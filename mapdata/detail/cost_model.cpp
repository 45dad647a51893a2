#include "mapdata/detail/cost_model.h"

#include <algorithm>
#include <cmath>

namespace kx::detail {
namespace {

// Until the first symbols are learnt: literals as in the fixed code, length and distance
// symbols at a typical six and five bits.
constexpr uint32_t kFirstLiteralBits = 8;
constexpr uint32_t kFirstLengthBits = 6;
constexpr uint32_t kFirstDistanceBits = 5;
// No code is longer than this.
constexpr double kMaxBits = kMaxCodeLength;

// The cost of a symbol seen `count` times in `total`: its information content, counting a
// symbol not seen at all as seen half a time.
uint32_t Cost(uint32_t count, double total, uint32_t withoutCountsBits) {
  if (total == 0) return withoutCountsBits * CostModel::kScale;
  const double bits = std::min(kMaxBits, std::log2(total / std::max(0.5, double(count))));
  return uint32_t(bits * CostModel::kScale + 0.5);
}

}  // namespace

void CostModel::Reset() {
  counts_.Clear();
  literal_.fill(kFirstLiteralBits * kScale);
  for (int length = kMinMatch; length <= kMaxMatch; ++length) {
    length_[length] = (kFirstLengthBits + kLengthExtraBits[kLengthSlot[length]]) * kScale;
  }
  distance_.fill(kFirstDistanceBits * kScale);
}

void CostModel::Learn(const Histogram& recent) {
  for (auto& n : counts_.litLen) n /= 2;
  for (auto& n : counts_.distance) n /= 2;
  counts_.Add(recent);
  double litLenTotal = 0, distanceTotal = 0;
  for (uint32_t n : counts_.litLen) litLenTotal += n;
  for (uint32_t n : counts_.distance) distanceTotal += n;
  for (int byte = 0; byte < 256; ++byte) {
    literal_[byte] = Cost(counts_.litLen[byte], litLenTotal, kFirstLiteralBits);
  }
  for (int length = kMinMatch; length <= kMaxMatch; ++length) {
    const int slot = kLengthSlot[length];
    length_[length] =
        Cost(counts_.litLen[kFirstLengthSymbol + slot], litLenTotal, kFirstLengthBits) +
        kLengthExtraBits[slot] * kScale;
  }
  for (int d = 0; d < kNumDistanceSymbols; ++d) {
    distance_[d] = Cost(counts_.distance[d], distanceTotal, kFirstDistanceBits);
  }
}

}  // namespace kx::detail
