#include "common/md5.h"

#include <cstring>

namespace kx {
namespace {

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr uint32_t RotateLeft(uint32_t x, int n) {
  return (x << n) | (x >> (32 - n));
}

inline uint32_t LoadLittleEndian(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// One step of each round: a = b + ((a + f(b,c,d) + x + t) <<< s).
#define MD5_STEP(f, a, b, c, d, x, t, s) \
  a += f(b, c, d) + (x) + (t);           \
  a = RotateLeft(a, s) + (b)

#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_G(x, y, z) ((y) ^ ((z) & ((x) ^ (y))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))

}  // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::Transform(const unsigned char* block) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = LoadLittleEndian(block + 4 * i);
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int i = 0; i < 16; i += 4) {
    MD5_STEP(MD5_F, a, b, c, d, x[i], kSine[i], 7);
    MD5_STEP(MD5_F, d, a, b, c, x[i + 1], kSine[i + 1], 12);
    MD5_STEP(MD5_F, c, d, a, b, x[i + 2], kSine[i + 2], 17);
    MD5_STEP(MD5_F, b, c, d, a, x[i + 3], kSine[i + 3], 22);
  }
  for (int i = 0; i < 16; i += 4) {
    MD5_STEP(MD5_G, a, b, c, d, x[(5 * i + 1) % 16], kSine[16 + i], 5);
    MD5_STEP(MD5_G, d, a, b, c, x[(5 * i + 6) % 16], kSine[17 + i], 9);
    MD5_STEP(MD5_G, c, d, a, b, x[(5 * i + 11) % 16], kSine[18 + i], 14);
    MD5_STEP(MD5_G, b, c, d, a, x[(5 * i) % 16], kSine[19 + i], 20);
  }
  for (int i = 0; i < 16; i += 4) {
    MD5_STEP(MD5_H, a, b, c, d, x[(3 * i + 5) % 16], kSine[32 + i], 4);
    MD5_STEP(MD5_H, d, a, b, c, x[(3 * i + 8) % 16], kSine[33 + i], 11);
    MD5_STEP(MD5_H, c, d, a, b, x[(3 * i + 11) % 16], kSine[34 + i], 16);
    MD5_STEP(MD5_H, b, c, d, a, x[(3 * i + 14) % 16], kSine[35 + i], 23);
  }
  for (int i = 0; i < 16; i += 4) {
    MD5_STEP(MD5_I, a, b, c, d, x[(7 * i) % 16], kSine[48 + i], 6);
    MD5_STEP(MD5_I, d, a, b, c, x[(7 * i + 7) % 16], kSine[49 + i], 10);
    MD5_STEP(MD5_I, c, d, a, b, x[(7 * i + 14) % 16], kSine[50 + i], 15);
    MD5_STEP(MD5_I, b, c, d, a, x[(7 * i + 21) % 16], kSine[51 + i], 21);
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void Md5::Update(std::string_view bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t size = bytes.size();
  size_t used = length_ % 64;
  length_ += size;
  if (used != 0) {
    const size_t take = std::min(size, 64 - used);
    std::memcpy(buffer_.data() + used, data, take);
    data += take;
    size -= take;
    if (used + take < 64) return;
    Transform(buffer_.data());
  }
  for (; size >= 64; data += 64, size -= 64) Transform(data);
  std::memcpy(buffer_.data(), data, size);
}

Md5Digest Md5::Final() {
  const uint64_t bits = length_ * 8;
  unsigned char padding[72] = {0x80};
  const size_t used = length_ % 64;
  const size_t padLength = (used < 56 ? 56 : 120) - used;
  for (int i = 0; i < 8; ++i) padding[padLength + i] = static_cast<unsigned char>(bits >> (8 * i));
  Update(std::string_view(reinterpret_cast<const char*>(padding), padLength + 8));
  Md5Digest digest;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(state_[i] >> (8 * j));
  }
  return digest;
}

Md5Digest Md5Of(std::string_view bytes) {
  Md5 md5;
  md5.Update(bytes);
  return md5.Final();
}

std::string Md5Hex(const Md5Digest& digest) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(32);
  for (uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

}  // namespace kx
