// Finds earlier occurrences of the string at a position of the window: hash chains over
// four-byte strings, plus the latest position of each three-byte string.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "mapdata/detail/deflate_tunables.h"

namespace kx::detail {

struct Match {
  int length;
  int distance;
};

// Positions are indexes into the caller's window buffer, which keeps at least kWindowSize bytes
// before the current position and at least 8 readable bytes after the end of the input.
//
// The hash tables hold positions plus a base that moves forward instead of the tables being
// rewritten: when the window slides the base grows by the distance moved, and a new stream
// starts a window's length past everything of the previous one, so old entries are simply out
// of reach. Only when the base grows large are the tables rewritten or cleared.
class MatchFinder {
 public:
  MatchFinder()
      : head4_(1u << kHash4Bits, kNone), head3_(1u << kHash3Bits, kNone), prev_(kWindowSize) {}

  // Forgets all positions, those of the last stream being below `usedEnd`.
  void Reset(int usedEnd) {
    if (base_ > kMaxBase - usedEnd - kWindowSize) {
      std::fill(head4_.begin(), head4_.end(), kNone);
      std::fill(head3_.begin(), head3_.end(), kNone);
      base_ = 0;
      return;
    }
    base_ += usedEnd + kWindowSize;
  }

  // The window's bytes moved `delta` positions towards its start.
  void Slide(int delta) {
    if (base_ <= kMaxBase - delta) {
      base_ += delta;
      return;
    }
    for (auto* table : {&head4_, &head3_}) {
      for (int32_t& entry : *table) {
        const int32_t position = entry - base_ - delta;
        entry = position < kNone ? kNone : position;
      }
    }
    base_ = 0;
  }

  // Records the strings at positions [begin, end) without searching.
  void Insert(const uint8_t* window, int begin, int end) {
    for (int pos = begin; pos < end; ++pos) {
      const uint32_t word = Load32(window + pos);
      int32_t& head = head4_[Hash4(word)];
      Link(pos, head - base_);
      head = pos + base_;
      head3_[Hash3(word)] = pos + base_;
    }
  }

  // Records the string at `pos` and returns the longest earlier match longer than `minLength`
  // and at most `maxLength` long (length 0 if there is none), walking at most `chain`
  // candidates and stopping at one of `niceLength`.
  Match InsertAndFind(const uint8_t* window, int pos, int minLength, int maxLength, int chain,
                      int niceLength) {
    const uint8_t* const here = window + pos;
    const uint32_t word = Load32(here);
    int32_t& head = head4_[Hash4(word)];
    int32_t candidate = head - base_;
    Link(pos, candidate);
    head = pos + base_;
    int32_t& head3 = head3_[Hash3(word)];
    const int32_t candidate3 = head3 - base_;
    head3 = pos + base_;

    Match best = {minLength, 0};
    if (minLength < 3 && maxLength >= 3 && pos - candidate3 <= kMaxDistanceForLength3 &&
        (Load32(window + candidate3) & 0xFFFFFF) == (word & 0xFFFFFF)) {
      best = {3, pos - candidate3};
    }
    const int limit = pos - kMaxDistance;
    if (niceLength > maxLength) niceLength = maxLength;
    // A candidate can only beat the best match if it agrees with the current string on the four
    // bytes that end one past the best length; most candidates fail this single comparison.
    int probe = best.length < 3 ? 0 : best.length - 3;
    uint32_t expected = Load32(here + probe);
    while (candidate >= limit) {
      const uint8_t* const there = window + candidate;
      if (Load32(there + probe) == expected) {
        const int length = MatchLength(here, there, maxLength);
        if (length > best.length) {
          best = {length, pos - candidate};
          if (length >= niceLength) break;
          probe = length - 3;
          expected = Load32(here + probe);
        }
      }
      if (--chain == 0) break;
      candidate -= prev_[candidate & (kWindowSize - 1)];
    }
    if (best.distance == 0) return {0, 0};
    return best;
  }

 private:
  // An empty entry, and the largest base: positions plus base stay below 2^30, and distances to
  // empty entries below 2^31, far out of reach.
  static constexpr int32_t kNone = -(1 << 29);
  static constexpr int32_t kMaxBase = 1 << 29;

  // The chain link of a position is the distance back to the previous position of its hash,
  // or kUnlinked when that one is out of reach, which takes any walk past its limit; distances
  // need no adjusting when the window slides.
  static constexpr uint16_t kUnlinked = 0xFFFF;
  static_assert(kUnlinked > kMaxDistance);
  void Link(int pos, int32_t previous) {
    const int step = pos - previous;
    prev_[pos & (kWindowSize - 1)] = step <= kMaxDistance ? uint16_t(step) : kUnlinked;
  }

  // Four bytes, the first in the low bits.
  static uint32_t Load32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
  }
  static uint64_t LoadNative64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
  }
  // Number of equal leading bytes of two 8-byte loads that differ.
  static int EqualBytes(uint64_t difference) {
    if constexpr (std::endian::native == std::endian::little) {
      return std::countr_zero(difference) / 8;
    } else {
      return std::countl_zero(difference) / 8;
    }
  }
  static uint32_t Hash4(uint32_t word) { return (word * 0x9E3779B1u) >> (32 - kHash4Bits); }
  static uint32_t Hash3(uint32_t word) {
    return ((word & 0xFFFFFF) * 0x9E3779B1u) >> (32 - kHash3Bits);
  }

  // Length of the common prefix of a and b, at most maxLength; reads up to 8 bytes past it.
  static int MatchLength(const uint8_t* a, const uint8_t* b, int maxLength) {
    int length = 0;
    while (length < maxLength) {
      const uint64_t difference = LoadNative64(a + length) ^ LoadNative64(b + length);
      if (difference != 0) {
        length += EqualBytes(difference);
        return length < maxLength ? length : maxLength;
      }
      length += 8;
    }
    return maxLength;
  }

  std::vector<int32_t> head4_;
  std::vector<int32_t> head3_;
  std::vector<uint16_t> prev_;
  int32_t base_ = 0;  // added to the positions in head4_ and head3_
};

}  // namespace kx::detail
