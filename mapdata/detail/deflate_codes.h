// The symbol alphabets of the deflate format (RFC 1951, 3.2.5 to 3.2.7).
#pragma once

#include <array>
#include <cstdint>

namespace kx::detail {

inline constexpr int kEndOfBlock = 256;
inline constexpr int kFirstLengthSymbol = 257;
inline constexpr int kNumLengthSlots = 29;
inline constexpr int kNumLitLenSymbols = kFirstLengthSymbol + kNumLengthSlots;  // 286
inline constexpr int kNumDistanceSymbols = 30;
inline constexpr int kNumPrecodeSymbols = 19;
inline constexpr int kMaxCodeLength = 15;
inline constexpr int kMaxPrecodeLength = 7;

// The order in which a dynamic block header lists the code lengths of the precode.
inline constexpr std::array<uint8_t, kNumPrecodeSymbols> kPrecodeOrder = {
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

inline constexpr std::array<uint16_t, kNumLengthSlots> kLengthBase = {
    3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr std::array<uint8_t, kNumLengthSlots> kLengthExtraBits = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

inline constexpr std::array<uint16_t, kNumDistanceSymbols> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
inline constexpr std::array<uint8_t, kNumDistanceSymbols> kDistanceExtraBits = {
    0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Length slot (0..28) of each match length 0..258 (entries below 3 are unused).
inline constexpr std::array<uint8_t, 259> kLengthSlot = [] {
  std::array<uint8_t, 259> slots{};
  for (int slot = 0; slot < kNumLengthSlots; ++slot) {
    const int end = slot + 1 < kNumLengthSlots ? kLengthBase[slot + 1] : 259;
    for (int length = kLengthBase[slot]; length < end; ++length) slots[length] = uint8_t(slot);
  }
  return slots;
}();

// Distance symbol of distances 1..256 by (distance - 1), and of longer ones by
// 256 + ((distance - 1) >> 7): symbols above 15 cover multiples of 128.
inline constexpr std::array<uint8_t, 512> kDistanceSymbolTable = [] {
  std::array<uint8_t, 512> table{};
  for (int symbol = 0; symbol < kNumDistanceSymbols; ++symbol) {
    const int first = kDistanceBase[symbol] - 1;
    const int last = first + (1 << kDistanceExtraBits[symbol]);
    for (int d = first; d < last; ++d) {
      if (d < 256)
        table[d] = uint8_t(symbol);
      else
        table[256 + (d >> 7)] = uint8_t(symbol);
    }
  }
  return table;
}();

[[nodiscard]] inline int DistanceSymbol(int distance) {
  const int d = distance - 1;
  return d < 256 ? kDistanceSymbolTable[d] : kDistanceSymbolTable[256 + (d >> 7)];
}

[[nodiscard]] inline int LengthSymbol(int length) {
  return kFirstLengthSymbol + kLengthSlot[length];
}

}  // namespace kx::detail
