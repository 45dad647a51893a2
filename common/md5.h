// MD5 message digest (RFC 1321), used for the password digests.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

using Md5Digest = std::array<uint8_t, 16>;

// Incremental digest: Update() any number of times, then Final() once.
class Md5 {
 public:
  Md5();
  void Update(std::string_view bytes);
  [[nodiscard]] Md5Digest Final();

 private:
  void Transform(const unsigned char* block);

  std::array<uint32_t, 4> state_;
  uint64_t length_ = 0;  // bytes hashed so far
  std::array<unsigned char, 64> buffer_{};
};

[[nodiscard]] Md5Digest Md5Of(std::string_view bytes);

// The digest as 32 upper-case hexadecimal digits, high half of each byte first.
[[nodiscard]] std::string Md5Hex(const Md5Digest& digest);

}  // namespace kx
