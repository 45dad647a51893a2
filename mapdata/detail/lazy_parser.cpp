#include "mapdata/detail/lazy_parser.h"

#include <algorithm>

#include "mapdata/detail/deflate_tunables.h"

namespace kx::detail {

void LazyParser::Reset(int usedEnd) {
  finder_.Reset(usedEnd);
  costs_.Reset();
  recent_.Clear();
  recentSymbols_ = 0;
}

// Before a match is taken, the next two positions are searched too. When a match found there,
// after the literals it leaves behind, is cheaper for the input it covers, the literals are
// sent and that match becomes the one to beat. Every position is searched at most once: the
// search also enters it into the hash chains.
int LazyParser::Parse(const uint8_t* window, int position, int limit, int end,
                      std::vector<Symbol>& out) {
  window_ = window;
  end_ = end;
  out_ = &out;
  const MatchTunables& tune = kLevel8;
  while (position < limit) {
    Match current = Find(position, kMinMatch - 1, tune.maxChain);
    if (current.length == 0 || !BeatsLiterals(current, position)) {
      EmitLiteral(position++);
      continue;
    }
    int searched = position;
    while (current.length < tune.maxLazy && position + 2 < end) {
      const int fullChain = current.length >= tune.goodLength ? tune.maxChain / 4 : tune.maxChain;
      const int chain = fullChain >> kLookAheadChainShift;
      // Matches as long as the current one can still win with a shorter distance.
      const int minLength = current.length - 1;
      const Match next = Find(position + 1, minLength, chain);
      searched = position + 1;
      if (next.length != 0 && IsBetter(current, next, position, 1)) {
        EmitLiteral(position++);
        current = next;
        continue;
      }
      const Match afterNext = Find(position + 2, minLength, chain);
      searched = position + 2;
      if (afterNext.length == 0 || !IsBetter(current, afterNext, position, 2)) break;
      EmitLiteral(position++);
      EmitLiteral(position++);
      current = afterNext;
    }
    EmitMatch(current);
    const int matchEnd = position + current.length;
    finder_.Insert(window, searched + 1, matchEnd);
    position = matchEnd;
  }
  return position;
}

Match LazyParser::Find(int position, int minLength, int chain) {
  const int maxLength = std::min(kMaxMatch, end_ - position);
  if (maxLength < kMinMatch) return {0, 0};
  return finder_.InsertAndFind(window_, position, minLength, maxLength, chain, kLevel8.niceLength);
}

// A short match must cost less than the literals it replaces.
bool LazyParser::BeatsLiterals(const Match& m, int position) const {
  if (m.length > kMaxLengthComparedWithLiterals) return true;
  uint32_t literals = 0;
  for (int i = 0; i < m.length; ++i) literals += costs_.Literal(window_[position + i]);
  return costs_.Match(m.length, m.distance) < literals;
}

// Compares "match `current` at `position`" with "`skip` literals, then match `later`",
// charging whichever covers less input for the bytes it leaves over.
bool LazyParser::IsBetter(const Match& current, const Match& later, int position, int skip) const {
  const uint32_t leftoverByte = kLeftoverByteBits * CostModel::kScale;
  const int laterCovers = skip + later.length;
  uint64_t keep = costs_.Match(current.length, current.distance);
  uint64_t change = costs_.Match(later.length, later.distance);
  for (int i = 0; i < skip; ++i) change += costs_.Literal(window_[position + i]);
  if (laterCovers > current.length) {
    keep += uint64_t(laterCovers - current.length) * leftoverByte;
  } else {
    change += uint64_t(current.length - laterCovers) * leftoverByte;
  }
  return change < keep;
}

void LazyParser::Learn() {
  costs_.Learn(recent_);
  recent_.Clear();
  recentSymbols_ = 0;
}

}  // namespace kx::detail
