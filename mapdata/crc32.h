// CRC-32 of the ZIP format: the reflected polynomial 0xEDB88320, register preset to all ones and
// inverted at the end. The CRC-32 of "123456789" is 0xCBF43926.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kx {

// Continues a CRC-32 over more bytes: Crc32Update(Crc32Update(0, a), b) is the CRC-32 of a
// followed by b. Start with 0.
[[nodiscard]] uint32_t Crc32Update(uint32_t crc, std::span<const uint8_t> bytes);

[[nodiscard]] inline uint32_t Crc32(std::span<const uint8_t> bytes) {
  return Crc32Update(0, bytes);
}

[[nodiscard]] inline uint32_t Crc32(std::string_view bytes) {
  return Crc32Update(0, {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
}

}  // namespace kx
