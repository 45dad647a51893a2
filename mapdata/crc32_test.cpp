#include "mapdata/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

namespace kx {
namespace {

TEST(Crc32, KnownAnswers) {
  EXPECT_EQ(Crc32(""), 0u);
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
  EXPECT_EQ(Crc32(std::string(32, '\0')), 0x190A55ADu);
}

// Every length from 0 to 1100 and every start offset within 16 bytes, so that the byte-wise
// tail, the 16-byte slices and the block kernel (with its 64-byte minimum) all take part, and
// every split of the input into two updates gives the same value as one update.
TEST(Crc32, AgreesWithZlibOnAllLengthsOffsetsAndSplits) {
  std::mt19937 random(7);
  std::vector<uint8_t> data(1200);
  for (auto& byte : data) byte = static_cast<uint8_t>(random());
  for (size_t offset = 0; offset < 16; ++offset) {
    for (size_t size = 0; offset + size <= 1100; ++size) {
      const std::span<const uint8_t> bytes(data.data() + offset, size);
      const uint32_t expected = ::crc32(0, bytes.data(), static_cast<uInt>(size));
      ASSERT_EQ(Crc32(bytes), expected) << "offset " << offset << " size " << size;
    }
  }
  const std::span<const uint8_t> all(data);
  const uint32_t whole = Crc32(all);
  for (size_t cut = 0; cut <= all.size(); ++cut) {
    ASSERT_EQ(Crc32Update(Crc32(all.first(cut)), all.subspan(cut)), whole) << "cut " << cut;
  }
}

TEST(Crc32, LargeBufferAgreesWithZlib) {
  std::vector<uint8_t> data(5 << 20);
  std::mt19937 random(11);
  for (auto& byte : data) byte = static_cast<uint8_t>(random() % 7);
  EXPECT_EQ(Crc32(data), ::crc32(0, data.data(), static_cast<uInt>(data.size())));
}

}  // namespace
}  // namespace kx
