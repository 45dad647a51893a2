// Writes deflate's bit stream (least significant bit first) through a fixed output buffer to a
// sink.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "mapdata/deflate.h"
#include "mapdata/detail/deflate_tunables.h"

namespace kx::detail {

class BitWriter {
 public:
  void Reset(DeflateSink& sink) {
    sink_ = &sink;
    bits_ = 0;
    count_ = 0;
    used_ = 0;
  }

  // Appends the low `count` bits of `bits` (count <= 32).
  void Put(uint32_t bits, int count) {
    bits_ |= uint64_t{bits} << count_;
    count_ += count;
    if (count_ >= 32) {
      if (used_ + 4 > buffer_.size()) Drain();
      for (int i = 0; i < 4; ++i) buffer_[used_++] = uint8_t(bits_ >> (8 * i));
      bits_ >>= 32;
      count_ -= 32;
    }
  }

  // Bits written past the last byte boundary (0..7).
  [[nodiscard]] int BitsPastByte() const { return count_ & 7; }

  // Pads with zero bits to the next byte boundary.
  void AlignToByte() {
    Put(0, (8 - count_ % 8) % 8);
    while (count_ > 0) PutByte(uint8_t(bits_));
  }

  // Appends whole bytes; the stream must be at a byte boundary.
  void PutBytes(std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
      if (used_ == buffer_.size()) Drain();
      const size_t take = std::min(bytes.size(), buffer_.size() - used_);
      std::copy_n(bytes.data(), take, buffer_.data() + used_);
      used_ += take;
      bytes = bytes.subspan(take);
    }
  }

  // Pads to a byte boundary and hands everything buffered to the sink.
  void Flush() {
    AlignToByte();
    Drain();
  }

 private:
  void PutByte(uint8_t byte) {
    if (used_ == buffer_.size()) Drain();
    buffer_[used_++] = byte;
    bits_ >>= 8;
    count_ -= 8;
  }

  void Drain() {
    if (used_ != 0) sink_->Put({buffer_.data(), used_});
    used_ = 0;
  }

  DeflateSink* sink_ = nullptr;
  uint64_t bits_ = 0;
  int count_ = 0;  // valid bits in bits_, below 32 between calls
  size_t used_ = 0;
  std::array<uint8_t, kOutputBufferSize> buffer_;
};

}  // namespace kx::detail
