// Chooses where deflate blocks end. Each block gets its own Huffman code, so a block should
// span input whose statistics are alike, and be long enough to pay for its code's header.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "mapdata/detail/deflate_symbols.h"

namespace kx::detail {

struct PlannedBlock {
  size_t end;           // index one past the block's last symbol
  Histogram histogram;  // counts of the block's symbols
};

class BlockSplitter {
 public:
  // Splits `symbols` into blocks, the last ending at symbols.size(). The first `openSymbols`
  // symbols (counted in `openHistogram`) are one block already and stay together. Starting
  // from short runs of symbols, neighbours are merged while merging lowers the estimated coded
  // size, the best merge first.
  std::span<const PlannedBlock> Split(std::span<const Symbol> symbols, size_t openSymbols,
                                      const Histogram& openHistogram);

 private:
  struct Segment {
    size_t end;
    Histogram histogram;
    double bits;      // estimated size on its own
    double gain;      // estimated saving of merging with the next live segment
    size_t next;      // index of the next live segment, or kNoSegment
    size_t previous;  // index of the previous live segment, or kNoSegment
  };
  static constexpr size_t kNoSegment = ~size_t{0};
  void AddSegment(size_t end, const Histogram& histogram);
  void ComputeGain(size_t index);
  void MergeWithNext(size_t index);

  std::vector<Segment> segments_;
  std::vector<PlannedBlock> blocks_;
  Histogram scratch_;
};

}  // namespace kx::detail
