// Turns input into deflate symbols: lazy matching, with the alternatives weighed in estimated
// bits.
#pragma once

#include <vector>

#include "mapdata/detail/cost_model.h"
#include "mapdata/detail/deflate_symbols.h"
#include "mapdata/detail/deflate_tunables.h"
#include "mapdata/detail/match_finder.h"

namespace kx::detail {

class LazyParser {
 public:
  // Forgets the previous stream, whose window positions were below `usedEnd`.
  void Reset(int usedEnd);
  // The window's bytes moved `delta` positions towards its start.
  void Slide(int delta) { finder_.Slide(delta); }

  // Parses the window from `position` until `limit` (the input ends at `end`), appending the
  // symbols to `out`; returns the position reached, at least `limit`.
  int Parse(const uint8_t* window, int position, int limit, int end, std::vector<Symbol>& out);

 private:
  Match Find(int position, int minLength, int chain);
  bool BeatsLiterals(const Match& m, int position) const;
  bool IsBetter(const Match& current, const Match& later, int position, int skip) const;
  void EmitLiteral(int position) {
    const uint8_t byte = window_[position];
    out_->push_back({byte, 0});
    ++recent_.litLen[byte];
    if (++recentSymbols_ == kLearnInterval) Learn();
  }
  void EmitMatch(const Match& m) {
    out_->push_back({uint16_t(m.length), uint16_t(m.distance)});
    ++recent_.litLen[LengthSymbol(m.length)];
    ++recent_.distance[DistanceSymbol(m.distance)];
    if (++recentSymbols_ == kLearnInterval) Learn();
  }
  void Learn();

  const uint8_t* window_ = nullptr;
  int end_ = 0;
  std::vector<Symbol>* out_ = nullptr;
  MatchFinder finder_;
  CostModel costs_;
  Histogram recent_;  // symbols parsed since the costs were last learnt
  int recentSymbols_ = 0;
};

}  // namespace kx::detail
