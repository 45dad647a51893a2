// Writes one deflate block of the cheapest of the three kinds for its symbols.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "mapdata/detail/bit_writer.h"
#include "mapdata/detail/deflate_codes.h"
#include "mapdata/detail/deflate_symbols.h"

namespace kx::detail {

// A dynamic Huffman code for one block and its header, coded as compactly as the precode
// allows.
// One symbol of the code-length alphabet in a dynamic block header.
struct RunItem {
  uint8_t symbol;  // 0..15 a length, 16 repeat the previous, 17 and 18 runs of zeros
  uint8_t extra;   // the value of its extra bits
};

class DynamicCode {
 public:
  // Builds the code for these counts (the end-of-block symbol included by the caller).
  void Build(const Histogram& histogram);
  // Bits of the block header after the three block-type bits.
  [[nodiscard]] uint64_t HeaderBits() const { return headerBits_; }
  void WriteHeader(BitWriter& out) const;

  std::array<uint8_t, kNumLitLenSymbols> litLenLengths;
  std::array<uint8_t, kNumDistanceSymbols> distanceLengths;

 private:
  void EncodeLengths();
  void ChooseRuns();

  int numLitLen_ = 0;
  int numDistance_ = 0;
  int numPrecode_ = 0;
  uint64_t headerBits_ = 0;
  std::array<uint8_t, kNumLitLenSymbols + kNumDistanceSymbols> allLengths_;
  std::array<RunItem, kNumLitLenSymbols + kNumDistanceSymbols> runs_;
  int numRuns_ = 0;
  std::array<uint8_t, kNumPrecodeSymbols> precodeLengths_;
};

class BlockEncoder {
 public:
  // Writes `symbols` (whose counts are `histogram`, without the end-of-block symbol) as one
  // block: stored when that is no larger than Huffman coding, else with the fixed codes when
  // they are no larger than a dynamic code, else with a dynamic code. `input` is the bytes the
  // symbols stand for.
  void Write(std::span<const Symbol> symbols, const Histogram& histogram,
             std::span<const uint8_t> input, bool final, BitWriter& out);

  // Writes an empty final block (ten bits).
  static void WriteEmptyFinal(BitWriter& out);

 private:
  DynamicCode dynamic_;
};

// Bits that a block of these counts takes with a dynamic code (header included) and with the
// fixed codes, block-type bits included. The histogram must include the end-of-block symbol.
struct HuffmanBlockBits {
  uint64_t dynamic;
  uint64_t fixed;
};
[[nodiscard]] HuffmanBlockBits MeasureHuffmanBlock(const Histogram& histogram, DynamicCode& code);

// Bits of `size` input bytes sent as stored blocks, starting `bitsPastByte` bits after a byte
// boundary.
[[nodiscard]] uint64_t StoredBlockBits(size_t size, int bitsPastByte);

}  // namespace kx::detail
