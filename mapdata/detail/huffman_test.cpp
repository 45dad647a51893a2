#include "mapdata/detail/huffman.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <queue>
#include <random>
#include <vector>

namespace kx::detail {
namespace {

uint64_t Cost(const std::vector<uint32_t>& frequencies, const std::vector<uint8_t>& lengths) {
  uint64_t cost = 0;
  for (size_t i = 0; i < frequencies.size(); ++i) cost += uint64_t{frequencies[i]} * lengths[i];
  return cost;
}

// Kraft sum of the lengths, scaled by 2^15: exactly 2^15 for a complete prefix code.
uint64_t KraftSum(const std::vector<uint8_t>& lengths) {
  uint64_t sum = 0;
  for (const uint8_t length : lengths) {
    if (length != 0) sum += uint64_t{1} << (15 - length);
  }
  return sum;
}

// The cost of an unlimited Huffman code, by the textbook merging of the two lightest weights.
uint64_t HuffmanCost(const std::vector<uint32_t>& frequencies) {
  std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<>> queue;
  for (const uint32_t f : frequencies) {
    if (f != 0) queue.push(f);
  }
  uint64_t cost = 0;
  while (queue.size() > 1) {
    const uint64_t a = queue.top();
    queue.pop();
    const uint64_t b = queue.top();
    queue.pop();
    cost += a + b;
    queue.push(a + b);
  }
  return cost;
}

// The cheapest complete code with lengths up to maxLength, by trying every assignment.
uint64_t BruteForceCost(const std::vector<uint32_t>& frequencies, int maxLength) {
  std::vector<uint8_t> lengths(frequencies.size(), 1);
  uint64_t best = UINT64_MAX;
  for (;;) {
    if (KraftSum(lengths) <= (1u << 15)) best = std::min(best, Cost(frequencies, lengths));
    size_t i = 0;
    while (i < lengths.size() && lengths[i] == maxLength) lengths[i++] = 1;
    if (i == lengths.size()) return best;
    ++lengths[i];
  }
}

std::vector<uint8_t> Lengths(const std::vector<uint32_t>& frequencies, int maxLength) {
  std::vector<uint8_t> lengths(frequencies.size());
  BuildCodeLengths(frequencies, maxLength, lengths);
  return lengths;
}

TEST(Huffman, RandomAlphabetsGetCompleteOptimalCodes) {
  std::mt19937 random(1);
  for (int round = 0; round < 200; ++round) {
    std::vector<uint32_t> frequencies(2 + random() % 287);
    for (auto& f : frequencies) f = random() % 4 == 0 ? 0 : 1 + random() % (1u << (random() % 20));
    if (size_t(std::count(frequencies.begin(), frequencies.end(), 0u)) + 2 > frequencies.size()) {
      continue;
    }
    const std::vector<uint8_t> lengths = Lengths(frequencies, 15);
    EXPECT_EQ(KraftSum(lengths), 1u << 15);
    EXPECT_LE(*std::max_element(lengths.begin(), lengths.end()), 15);
    for (size_t i = 0; i < frequencies.size(); ++i) EXPECT_EQ(frequencies[i] == 0, lengths[i] == 0);
    if (*std::max_element(lengths.begin(), lengths.end()) < 15) {
      EXPECT_EQ(Cost(frequencies, lengths), HuffmanCost(frequencies));
    }
  }
}

// Fibonacci weights make the unlimited code as deep as the alphabet is long, so the limit binds
// and package-merge must find the best code within it.
TEST(Huffman, LengthLimitIsKeptAtTheLowestCost) {
  std::vector<uint32_t> fibonacci = {1, 1};
  while (fibonacci.size() < 30) fibonacci.push_back(fibonacci.end()[-1] + fibonacci.end()[-2]);
  const std::vector<uint8_t> deep = Lengths(fibonacci, 15);
  EXPECT_EQ(*std::max_element(deep.begin(), deep.end()), 15);
  EXPECT_EQ(KraftSum(deep), 1u << 15);

  std::mt19937 random(2);
  for (int round = 0; round < 100; ++round) {
    const int maxLength = 3 + int(random() % 2);
    std::vector<uint32_t> frequencies(2 + random() % 6);
    for (auto& f : frequencies) f = 1 + random() % (1u << (random() % 16));
    const std::vector<uint8_t> lengths = Lengths(frequencies, maxLength);
    EXPECT_LE(*std::max_element(lengths.begin(), lengths.end()), maxLength);
    EXPECT_EQ(KraftSum(lengths), 1u << 15);
    EXPECT_EQ(Cost(frequencies, lengths), BruteForceCost(frequencies, maxLength));
  }
}

// Decoders need a complete code of at least two symbols.
TEST(Huffman, FewerThanTwoUsedSymbolsStillMakeATwoSymbolCode) {
  EXPECT_EQ(Lengths({0, 0, 0, 0}, 15), (std::vector<uint8_t>{1, 1, 0, 0}));
  EXPECT_EQ(Lengths({0, 0, 5, 0}, 15), (std::vector<uint8_t>{1, 0, 1, 0}));
  EXPECT_EQ(Lengths({7, 0, 0}, 7), (std::vector<uint8_t>{1, 1, 0}));
}

// The example of RFC 1951, 3.2.2, with the codes bit-reversed for least-significant-first
// output.
TEST(Huffman, CanonicalCodesFollowTheRfcExample) {
  const std::vector<uint8_t> lengths = {3, 3, 3, 3, 3, 2, 4, 4};
  std::vector<uint16_t> codes(lengths.size());
  BuildCanonicalCodes(lengths, codes);
  const std::vector<uint16_t> expected = {0b010, 0b110, 0b001, 0b101, 0b011, 0b00, 0b0111, 0b1111};
  EXPECT_EQ(codes, expected);
}

}  // namespace
}  // namespace kx::detail
