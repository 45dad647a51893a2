#include "mapdata/detail/block_encoder.h"

#include <algorithm>
#include <limits>

#include "mapdata/detail/huffman.h"

namespace kx::detail {
namespace {

constexpr int kBlockTypeBits = 3;  // BFINAL and BTYPE
constexpr uint32_t kStoredType = 0, kFixedType = 1, kDynamicType = 2;
constexpr size_t kMaxStoredBlock = 65535;

// Run symbols of the code-length alphabet: 16 repeats the previous length 3..6 times, 17 and 18
// give 3..10 and 11..138 zeros.
constexpr int kRepeatPrevious = 16, kZeros3 = 17, kZeros11 = 18;
// Bits a code-length symbol is guessed to cost before the precode is known.
constexpr uint32_t kGuessedBits = 5;
constexpr std::array<uint8_t, kNumPrecodeSymbols> kRunExtraBits = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                                   0, 0, 0, 0, 0, 0, 2, 3, 7};

struct FixedCode {
  std::array<uint8_t, kNumLitLenSymbols> litLenLengths;
  std::array<uint16_t, kNumLitLenSymbols> litLenCodes;
  std::array<uint8_t, kNumDistanceSymbols> distanceLengths;
  std::array<uint16_t, kNumDistanceSymbols> distanceCodes;
};

const FixedCode& Fixed() {
  static const FixedCode code = [] {
    FixedCode c;
    // The fixed literal/length code has 288 symbols; 286 and 287 never occur but shape the code.
    std::array<uint8_t, 288> lengths;
    std::array<uint16_t, 288> codes;
    for (int s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    BuildCanonicalCodes(lengths, codes);
    std::copy_n(lengths.begin(), kNumLitLenSymbols, c.litLenLengths.begin());
    std::copy_n(codes.begin(), kNumLitLenSymbols, c.litLenCodes.begin());
    std::array<uint8_t, 32> distanceLengths;
    std::array<uint16_t, 32> distanceCodes;
    distanceLengths.fill(5);
    BuildCanonicalCodes(distanceLengths, distanceCodes);
    std::copy_n(distanceLengths.begin(), kNumDistanceSymbols, c.distanceLengths.begin());
    std::copy_n(distanceCodes.begin(), kNumDistanceSymbols, c.distanceCodes.begin());
    return c;
  }();
  return code;
}

template <size_t N, size_t M>
uint64_t CodedBits(const std::array<uint32_t, N>& counts, const std::array<uint8_t, M>& lengths) {
  uint64_t bits = 0;
  for (size_t i = 0; i < N; ++i) bits += uint64_t{counts[i]} * lengths[i];
  return bits;
}

void WriteSymbols(std::span<const Symbol> symbols, std::span<const uint8_t> litLenLengths,
                  std::span<const uint16_t> litLenCodes, std::span<const uint8_t> distanceLengths,
                  std::span<const uint16_t> distanceCodes, BitWriter& out) {
  for (const Symbol s : symbols) {
    if (s.IsLiteral()) {
      out.Put(litLenCodes[s.litLen], litLenLengths[s.litLen]);
      continue;
    }
    const int slot = kLengthSlot[s.litLen];
    const int lengthSymbol = kFirstLengthSymbol + slot;
    out.Put(litLenCodes[lengthSymbol] |
                (uint32_t(s.litLen - kLengthBase[slot]) << litLenLengths[lengthSymbol]),
            litLenLengths[lengthSymbol] + kLengthExtraBits[slot]);
    const int d = DistanceSymbol(s.distance);
    out.Put(distanceCodes[d] | (uint32_t(s.distance - kDistanceBase[d]) << distanceLengths[d]),
            distanceLengths[d] + kDistanceExtraBits[d]);
  }
  out.Put(litLenCodes[kEndOfBlock], litLenLengths[kEndOfBlock]);
}

void WriteStored(std::span<const uint8_t> input, bool final, BitWriter& out) {
  do {
    const size_t size = std::min(input.size(), kMaxStoredBlock);
    const bool last = size == input.size();
    out.Put((final && last) ? 1 : 0, 1);
    out.Put(kStoredType, 2);
    out.AlignToByte();
    out.Put(uint32_t(size) | (uint32_t(~size & 0xFFFF) << 16), 32);
    out.PutBytes(input.first(size));
    input = input.subspan(size);
  } while (!input.empty());
}

}  // namespace

void DynamicCode::Build(const Histogram& histogram) {
  BuildCodeLengths(histogram.litLen, kMaxCodeLength, litLenLengths);
  BuildCodeLengths(histogram.distance, kMaxCodeLength, distanceLengths);
  EncodeLengths();
}

// The code lengths are sent as one sequence (literal/length lengths, then distance lengths;
// runs may cross from one to the other) in the code-length alphabet. The cheapest choice of
// runs depends on the precode, which depends on the choice of runs: one shortest-path search
// with every code-length symbol guessed at the same cost came within a few bits of iterating
// searches and precodes to the best, and closer than guesses from the counts of the lengths.
void DynamicCode::EncodeLengths() {
  numLitLen_ = kNumLitLenSymbols;
  while (numLitLen_ > kFirstLengthSymbol && litLenLengths[numLitLen_ - 1] == 0) --numLitLen_;
  numDistance_ = kNumDistanceSymbols;
  while (numDistance_ > 1 && distanceLengths[numDistance_ - 1] == 0) --numDistance_;
  std::copy_n(litLenLengths.begin(), numLitLen_, allLengths_.begin());
  std::copy_n(distanceLengths.begin(), numDistance_, allLengths_.begin() + numLitLen_);

  ChooseRuns();

  std::array<uint32_t, kNumPrecodeSymbols> counts{};
  for (int i = 0; i < numRuns_; ++i) ++counts[runs_[i].symbol];
  BuildCodeLengths(counts, kMaxPrecodeLength, precodeLengths_);
  numPrecode_ = kNumPrecodeSymbols;
  while (numPrecode_ > 4 && precodeLengths_[kPrecodeOrder[numPrecode_ - 1]] == 0) --numPrecode_;
  headerBits_ = 5 + 5 + 4 + 3 * uint64_t(numPrecode_);
  for (int i = 0; i < numRuns_; ++i) {
    headerBits_ += precodeLengths_[runs_[i].symbol] + kRunExtraBits[runs_[i].symbol];
  }
}

namespace {

constexpr int kMaxRun = kNumLitLenSymbols + kNumDistanceSymbols;

// The cheapest way to send a run of equal code lengths, when every code-length symbol is
// guessed at the same cost: it depends only on whether the lengths are zero and on the run's
// length, as the first of a run follows a different length. One shortest-path search per kind
// of run finds the cheapest cover of every run length at once.
class RunPlans {
 public:
  RunPlans() : zeros_(Plans(true)), others_(Plans(false)) {}

  // The items of a run; an item with symbol 0 stands for the run's value.
  [[nodiscard]] const std::vector<RunItem>& Of(uint8_t value, int length) const {
    return value == 0 ? zeros_[length] : others_[length];
  }

 private:
  using Table = std::array<std::vector<RunItem>, kMaxRun + 1>;

  static Table Plans(bool zeros) {
    std::array<uint32_t, kMaxRun + 1> best;
    std::array<RunItem, kMaxRun + 1> step;
    std::array<int, kMaxRun + 1> from;
    best.fill(std::numeric_limits<uint32_t>::max());
    best[0] = 0;
    auto relax = [&](int i, int run, uint8_t symbol, uint8_t extra) {
      if (i + run > kMaxRun) return;
      const uint32_t cost = best[i] + kGuessedBits + kRunExtraBits[symbol];
      if (cost < best[i + run]) {
        best[i + run] = cost;
        step[i + run] = {symbol, extra};
        from[i + run] = i;
      }
    };
    for (int i = 0; i < kMaxRun; ++i) {
      relax(i, 1, 0, 0);
      // The first length of a run follows a different one, so repeating starts at the second.
      if (i > 0) {
        for (int run = 3; run <= 6; ++run) relax(i, run, kRepeatPrevious, uint8_t(run - 3));
      }
      if (zeros) {
        for (int run = 3; run <= 10; ++run) relax(i, run, kZeros3, uint8_t(run - 3));
        for (int run = 11; run <= 138; ++run) relax(i, run, kZeros11, uint8_t(run - 11));
      }
    }
    Table plans;
    for (int length = 1; length <= kMaxRun; ++length) {
      for (int i = length; i > 0; i = from[i]) plans[length].push_back(step[i]);
      std::reverse(plans[length].begin(), plans[length].end());
    }
    return plans;
  }

  Table zeros_;
  Table others_;
};

}  // namespace

void DynamicCode::ChooseRuns() {
  static const RunPlans plans;
  const int n = numLitLen_ + numDistance_;
  numRuns_ = 0;
  for (int i = 0; i < n;) {
    const uint8_t value = allLengths_[i];
    int length = 1;
    while (i + length < n && allLengths_[i + length] == value) ++length;
    for (RunItem item : plans.Of(value, length)) {
      if (item.symbol == 0) item.symbol = value;
      runs_[numRuns_++] = item;
    }
    i += length;
  }
}

void DynamicCode::WriteHeader(BitWriter& out) const {
  out.Put(uint32_t(numLitLen_ - kFirstLengthSymbol), 5);
  out.Put(uint32_t(numDistance_ - 1), 5);
  out.Put(uint32_t(numPrecode_ - 4), 4);
  for (int i = 0; i < numPrecode_; ++i) out.Put(precodeLengths_[kPrecodeOrder[i]], 3);
  std::array<uint16_t, kNumPrecodeSymbols> precodeCodes;
  BuildCanonicalCodes(precodeLengths_, precodeCodes);
  for (int i = 0; i < numRuns_; ++i) {
    const RunItem item = runs_[i];
    out.Put(precodeCodes[item.symbol], precodeLengths_[item.symbol]);
    if (kRunExtraBits[item.symbol] != 0) out.Put(item.extra, kRunExtraBits[item.symbol]);
  }
}

HuffmanBlockBits MeasureHuffmanBlock(const Histogram& histogram, DynamicCode& code) {
  code.Build(histogram);
  const uint64_t extra = histogram.ExtraBits();
  const FixedCode& fixed = Fixed();
  return {kBlockTypeBits + code.HeaderBits() + CodedBits(histogram.litLen, code.litLenLengths) +
              CodedBits(histogram.distance, code.distanceLengths) + extra,
          kBlockTypeBits + CodedBits(histogram.litLen, fixed.litLenLengths) +
              CodedBits(histogram.distance, fixed.distanceLengths) + extra};
}

uint64_t StoredBlockBits(size_t size, int bitsPastByte) {
  const size_t pieces = std::max<size_t>(1, (size + kMaxStoredBlock - 1) / kMaxStoredBlock);
  const int firstPadding = (8 - (bitsPastByte + kBlockTypeBits) % 8) % 8;
  // Every later piece starts on a byte boundary: three type bits and five bits of padding.
  return kBlockTypeBits + firstPadding + (pieces - 1) * 8 + pieces * 32 + uint64_t{size} * 8;
}

void BlockEncoder::Write(std::span<const Symbol> symbols, const Histogram& histogram,
                         std::span<const uint8_t> input, bool final, BitWriter& out) {
  Histogram counts = histogram;
  counts.litLen[kEndOfBlock] = 1;
  const HuffmanBlockBits huffman = MeasureHuffmanBlock(counts, dynamic_);
  if (StoredBlockBits(input.size(), out.BitsPastByte()) <=
      std::min(huffman.dynamic, huffman.fixed)) {
    WriteStored(input, final, out);
    return;
  }
  out.Put(final ? 1 : 0, 1);
  if (huffman.fixed <= huffman.dynamic) {
    const FixedCode& fixed = Fixed();
    out.Put(kFixedType, 2);
    WriteSymbols(symbols, fixed.litLenLengths, fixed.litLenCodes, fixed.distanceLengths,
                 fixed.distanceCodes, out);
    return;
  }
  out.Put(kDynamicType, 2);
  dynamic_.WriteHeader(out);
  std::array<uint16_t, kNumLitLenSymbols> litLenCodes;
  std::array<uint16_t, kNumDistanceSymbols> distanceCodes;
  BuildCanonicalCodes(dynamic_.litLenLengths, litLenCodes);
  BuildCanonicalCodes(dynamic_.distanceLengths, distanceCodes);
  WriteSymbols(symbols, dynamic_.litLenLengths, litLenCodes, dynamic_.distanceLengths,
               distanceCodes, out);
}

void BlockEncoder::WriteEmptyFinal(BitWriter& out) {
  const FixedCode& fixed = Fixed();
  out.Put(1, 1);
  out.Put(kFixedType, 2);
  out.Put(fixed.litLenCodes[kEndOfBlock], fixed.litLenLengths[kEndOfBlock]);
}

}  // namespace kx::detail
