#include "mapdata/crc32.h"

#include <array>

#include "mapdata/detail/crc32_accel.h"

namespace kx {
namespace {

constexpr uint32_t kPolynomial = 0xEDB88320;  // x^32 + x^26 + ... + 1, bit-reflected

// Slicing-by-16: kTables[0] is the byte-at-a-time table; kTables[k][b] is the register after
// byte b is followed by k zero bytes, so 16 bytes are folded with 16 independent look-ups.
constexpr size_t kSlices = 16;
using Tables = std::array<std::array<uint32_t, 256>, kSlices>;

constexpr Tables MakeTables() {
  Tables tables{};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    uint32_t reg = byte;
    for (int bit = 0; bit < 8; ++bit) reg = (reg >> 1) ^ (kPolynomial & (0u - (reg & 1)));
    tables[0][byte] = reg;
  }
  for (size_t k = 1; k < kSlices; ++k) {
    for (size_t byte = 0; byte < 256; ++byte) {
      const uint32_t previous = tables[k - 1][byte];
      tables[k][byte] = (previous >> 8) ^ tables[0][previous & 0xFF];
    }
  }
  return tables;
}

constexpr Tables kTables = MakeTables();

inline uint32_t LoadLittleEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline uint32_t Slice(uint32_t word, size_t firstTable) {
  return kTables[firstTable + 3][word & 0xFF] ^ kTables[firstTable + 2][(word >> 8) & 0xFF] ^
         kTables[firstTable + 1][(word >> 16) & 0xFF] ^ kTables[firstTable][word >> 24];
}

uint32_t TableUpdate(uint32_t reg, const uint8_t* data, size_t size) {
  for (; size >= kSlices; data += kSlices, size -= kSlices) {
    reg = Slice(LoadLittleEndian32(data) ^ reg, 12) ^ Slice(LoadLittleEndian32(data + 4), 8) ^
          Slice(LoadLittleEndian32(data + 8), 4) ^ Slice(LoadLittleEndian32(data + 12), 0);
  }
  for (; size > 0; ++data, --size) reg = (reg >> 8) ^ kTables[0][(reg ^ *data) & 0xFF];
  return reg;
}

detail::Crc32BlockKernel BlockKernel() {
  static const detail::Crc32BlockKernel kernel = detail::FindCrc32BlockKernel();
  return kernel;
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, std::span<const uint8_t> bytes) {
  uint32_t reg = ~crc;
  const uint8_t* data = bytes.data();
  size_t size = bytes.size();
  const detail::Crc32BlockKernel kernel = BlockKernel();
  if (kernel != nullptr && size >= detail::kCrc32BlockMinimum) {
    const size_t bulk = size - size % detail::kCrc32BlockGranule;
    reg = kernel(reg, data, bulk);
    data += bulk;
    size -= bulk;
  }
  return ~TableUpdate(reg, data, size);
}

}  // namespace kx
