#include "mapdata/detail/block_splitter.h"

#include <cmath>

namespace kx::detail {
namespace {

// Symbols per initial segment: short enough to find changes of statistics, long enough for
// counts that say something.
constexpr size_t kChunkSymbols = 1024;
// Estimated header of a dynamic block: a fixed part plus a few bits per used symbol.
constexpr double kHeaderBits = 80;
constexpr double kHeaderBitsPerSymbol = 4;

// n * log2(n), tabulated for the common small counts.
constexpr uint32_t kTabulated = 4096;
const std::vector<float>& NLog2NTable() {
  static const std::vector<float> table = [] {
    std::vector<float> t(kTabulated);
    for (uint32_t n = 1; n < kTabulated; ++n) t[n] = float(n * std::log2(double(n)));
    return t;
  }();
  return table;
}

// Entropy-coded size in bits of the counts a + b of one alphabet; counts the used symbols.
template <size_t N>
double AlphabetBits(const std::array<uint32_t, N>& a, const std::array<uint32_t, N>& b, int& used) {
  const std::vector<float>& table = NLog2NTable();
  auto nLog2N = [&](uint32_t n) { return n < kTabulated ? table[n] : n * std::log2(double(n)); };
  double sum = 0;
  uint32_t total = 0;
  for (size_t i = 0; i < N; ++i) {
    const uint32_t n = a[i] + b[i];
    if (n == 0) continue;
    sum += nLog2N(n);
    total += n;
    ++used;
  }
  return total == 0 ? 0 : nLog2N(total) - sum;
}

// Estimated size of a block holding the symbols of a and b.
double EstimateBits(const Histogram& a, const Histogram& b) {
  int used = 0;
  const double coded =
      AlphabetBits(a.litLen, b.litLen, used) + AlphabetBits(a.distance, b.distance, used);
  return kHeaderBits + kHeaderBitsPerSymbol * used + coded + double(a.ExtraBits() + b.ExtraBits());
}

const Histogram& Empty() {
  static const Histogram empty;
  return empty;
}

}  // namespace

void BlockSplitter::AddSegment(size_t end, const Histogram& histogram) {
  const size_t index = segments_.size();
  Segment& s = segments_.emplace_back();
  s.end = end;
  s.histogram = histogram;
  s.bits = EstimateBits(histogram, Empty());
  s.gain = 0;
  s.next = kNoSegment;
  s.previous = index == 0 ? kNoSegment : index - 1;
  if (index != 0) segments_[index - 1].next = index;
}

void BlockSplitter::ComputeGain(size_t index) {
  Segment& s = segments_[index];
  if (s.next == kNoSegment) return;
  const Segment& next = segments_[s.next];
  s.gain = s.bits + next.bits - EstimateBits(s.histogram, next.histogram);
}

void BlockSplitter::MergeWithNext(size_t index) {
  Segment& merged = segments_[index];
  const Segment& absorbed = segments_[merged.next];
  merged.histogram.Add(absorbed.histogram);
  merged.end = absorbed.end;
  merged.next = absorbed.next;
  merged.gain = 0;
  if (merged.next != kNoSegment) segments_[merged.next].previous = index;
  merged.bits = EstimateBits(merged.histogram, Empty());
  ComputeGain(index);
  if (merged.previous != kNoSegment) ComputeGain(merged.previous);
}

std::span<const PlannedBlock> BlockSplitter::Split(std::span<const Symbol> symbols,
                                                   size_t openSymbols,
                                                   const Histogram& openHistogram) {
  segments_.clear();
  blocks_.clear();
  if (openSymbols != 0) AddSegment(openSymbols, openHistogram);
  for (size_t begin = openSymbols; begin < symbols.size(); begin += kChunkSymbols) {
    const size_t end = std::min(symbols.size(), begin + kChunkSymbols);
    scratch_.Clear();
    scratch_.Add(symbols.subspan(begin, end - begin));
    AddSegment(end, scratch_);
  }
  if (segments_.empty()) return blocks_;
  for (size_t i = 0; i < segments_.size(); ++i) ComputeGain(i);
  for (;;) {
    size_t best = kNoSegment;
    double bestGain = 0;
    for (size_t i = 0; i != kNoSegment; i = segments_[i].next) {
      if (segments_[i].gain > bestGain) {
        bestGain = segments_[i].gain;
        best = i;
      }
    }
    if (best == kNoSegment) break;
    MergeWithNext(best);
  }
  for (size_t i = 0; i != kNoSegment; i = segments_[i].next) {
    blocks_.push_back({segments_[i].end, segments_[i].histogram});
  }
  return blocks_;
}

}  // namespace kx::detail
