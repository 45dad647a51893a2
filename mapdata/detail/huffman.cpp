#include "mapdata/detail/huffman.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "mapdata/detail/deflate_codes.h"

namespace kx::detail {
namespace {

constexpr size_t kMaxSymbols = 288;
constexpr size_t kMaxListSize = 2 * kMaxSymbols - 2;

struct Leaf {
  uint32_t weight;
  uint16_t symbol;
};

// Package-merge keeps, for every level, only the weights of the packages; the level's list is
// the merge of the leaves with them, taking a leaf first on equal weights. The same merge rule
// decides, walking down from the top level, how many leaves each level's selection holds.
class PackageMerge {
 public:
  PackageMerge(std::span<const Leaf> leaves, int maxLength)
      : leaves_(leaves), maxLength_(maxLength) {}

  void AssignLengths(std::span<uint8_t> lengths) {
    const size_t wanted = 2 * leaves_.size() - 2;
    packageCount_[0] = 0;
    for (int level = 1; level < maxLength_; ++level) {
      size_t listSize = 0;
      Merge(level - 1, wanted, [&](uint32_t weight, bool) { list_[listSize++] = weight; });
      packageCount_[level] = listSize / 2;
      for (size_t k = 0; k < listSize / 2; ++k) {
        packages_[level][k] = list_[2 * k] + list_[2 * k + 1];
      }
    }
    size_t take = wanted;
    for (int level = maxLength_ - 1; level >= 0; --level) {
      size_t leavesTaken = 0;
      Merge(level, take, [&](uint32_t, bool isLeaf) { leavesTaken += isLeaf ? 1 : 0; });
      for (size_t i = 0; i < leavesTaken; ++i) ++lengths[leaves_[i].symbol];
      take = 2 * (take - leavesTaken);
    }
  }

 private:
  // Visits the first `count` items of the level's list in ascending weight.
  template <typename Visit>
  void Merge(int level, size_t count, Visit visit) const {
    const auto& packages = packages_[level];
    const size_t numPackages = packageCount_[level];
    size_t leaf = 0, package = 0;
    for (size_t n = 0; n < count; ++n) {
      const bool takeLeaf = leaf < leaves_.size() &&
                            (package == numPackages || leaves_[leaf].weight <= packages[package]);
      if (takeLeaf) {
        visit(leaves_[leaf++].weight, true);
      } else if (package < numPackages) {
        visit(packages[package++], false);
      } else {
        return;
      }
    }
  }

  std::span<const Leaf> leaves_;
  int maxLength_;
  std::array<std::array<uint32_t, kMaxSymbols>, kMaxCodeLength> packages_;
  std::array<size_t, kMaxCodeLength> packageCount_{};
  std::array<uint32_t, kMaxListSize> list_;
};

// Huffman code lengths of weights sorted in ascending order, computed in place (Moffat and
// Katajainen): on return weights[i] is the length of the i-th weight's code.
void MinimumRedundancyLengths(std::span<uint32_t> weights) {
  const size_t n = weights.size();
  // First pass, left to right: combine the two lightest of the remaining leaves and internal
  // nodes; internal node i keeps its weight, then the index of its parent.
  weights[0] += weights[1];
  size_t root = 0, leaf = 2;
  for (size_t next = 1; next < n - 1; ++next) {
    if (leaf >= n || weights[root] < weights[leaf]) {
      weights[next] = weights[root];
      weights[root++] = uint32_t(next);
    } else {
      weights[next] = weights[leaf++];
    }
    if (leaf >= n || (root < next && weights[root] < weights[leaf])) {
      weights[next] += weights[root];
      weights[root++] = uint32_t(next);
    } else {
      weights[next] += weights[leaf++];
    }
  }
  // Second pass, right to left: depths of the internal nodes.
  weights[n - 2] = 0;
  for (size_t next = n - 2; next-- > 0;) weights[next] = weights[weights[next]] + 1;
  // Third pass, right to left: depths of the leaves.
  size_t available = 1, used = 0, next = n - 1;
  uint32_t depth = 0;
  ptrdiff_t internal = ptrdiff_t(n) - 2;
  while (available > 0) {
    while (internal >= 0 && weights[size_t(internal)] == depth) {
      ++used;
      --internal;
    }
    while (available > used) {
      weights[next--] = depth;
      --available;
    }
    available = 2 * used;
    ++depth;
    used = 0;
  }
}

}  // namespace

void BuildCodeLengths(std::span<const uint32_t> frequencies, int maxLength,
                      std::span<uint8_t> lengths) {
  std::array<Leaf, kMaxSymbols> leafStore;
  size_t used = 0;
  for (size_t symbol = 0; symbol < frequencies.size(); ++symbol) {
    lengths[symbol] = 0;
    if (frequencies[symbol] != 0) leafStore[used++] = {frequencies[symbol], uint16_t(symbol)};
  }
  // Fewer than two symbols: the lowest unused ones complete a two-symbol code.
  for (uint16_t symbol = 0; used < 2; ++symbol) {
    if (frequencies[symbol] == 0) leafStore[used++] = {0, symbol};
  }
  const std::span<Leaf> leaves(leafStore.data(), used);
  std::sort(leaves.begin(), leaves.end(), [](const Leaf& a, const Leaf& b) {
    return a.weight != b.weight ? a.weight < b.weight : a.symbol < b.symbol;
  });
  // Plain Huffman lengths are optimal when they respect the limit, as they usually do;
  // package-merge finds the best lengths that do when they do not.
  std::array<uint32_t, kMaxSymbols> depths;
  for (size_t i = 0; i < used; ++i) depths[i] = leaves[i].weight;
  MinimumRedundancyLengths({depths.data(), used});
  if (depths[0] <= uint32_t(maxLength)) {
    for (size_t i = 0; i < used; ++i) lengths[leaves[i].symbol] = uint8_t(depths[i]);
    return;
  }
  PackageMerge(leaves, maxLength).AssignLengths(lengths);
}

void BuildCanonicalCodes(std::span<const uint8_t> lengths, std::span<uint16_t> codes) {
  static constexpr std::array<uint8_t, 256> kReversedByte = [] {
    std::array<uint8_t, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
      for (int bit = 0; bit < 8; ++bit) table[byte] |= uint8_t(((byte >> bit) & 1) << (7 - bit));
    }
    return table;
  }();
  std::array<uint16_t, kMaxCodeLength + 1> count{};
  for (uint8_t length : lengths) ++count[length];
  count[0] = 0;
  std::array<uint16_t, kMaxCodeLength + 1> next{};
  uint16_t code = 0;
  for (int length = 1; length <= kMaxCodeLength; ++length) {
    code = uint16_t((code + count[length - 1]) << 1);
    next[length] = code;
  }
  for (size_t symbol = 0; symbol < lengths.size(); ++symbol) {
    const int length = lengths[symbol];
    if (length == 0) {
      codes[symbol] = 0;
      continue;
    }
    const uint16_t value = next[length]++;
    const uint32_t reversed16 =
        uint32_t(kReversedByte[value & 0xFF]) << 8 | kReversedByte[value >> 8];
    codes[symbol] = uint16_t(reversed16 >> (16 - length));
  }
}

}  // namespace kx::detail
