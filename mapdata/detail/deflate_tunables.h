// The compressor's settings in one place, each with its reason.
#pragma once

#include <cstddef>

namespace kx::detail {

// --- Match search -------------------------------------------------------------------------------
// The classic deflate implementation's level 8 settings; the archive flags announce "maximum
// compression", which this level implies.
struct MatchTunables {
  // Once the current match is this long, a quarter of the chain is enough to try to beat it.
  int goodLength;
  // A match this long is taken at once, without looking for a better one further on.
  int maxLazy;
  // A match this long ends the chain walk.
  int niceLength;
  // Candidates examined per search at most; bounds the time on repetitive input.
  int maxChain;
};
inline constexpr MatchTunables kLevel8 = {32, 128, 258, 1024};

// Lazy matching looks one and two positions ahead before it takes a match. A look-ahead search
// only has to find something clearly better than the match in hand, so it walks a quarter of
// the chain budget: together the two cost less than the classic single look-ahead with the full
// budget, and find most of what a full walk finds.
inline constexpr int kLookAheadChainShift = 2;

// When two alternatives cover different lengths of input, the bytes one of them leaves over are
// charged at this many bits each: the next symbol rarely covers them as cheaply as the average
// byte costs. Tuned on text, program code and track files.
inline constexpr int kLeftoverByteBits = 5;
// Matches up to this long are compared with the literals they replace; longer ones always win.
inline constexpr int kMaxLengthComparedWithLiterals = 8;
// The bit costs are relearnt from the symbols parsed so far after this many symbols.
inline constexpr int kLearnInterval = 4096;

// --- Format limits (RFC 1951) -------------------------------------------------------------------
inline constexpr int kMinMatch = 3;
inline constexpr int kMaxMatch = 258;
inline constexpr int kWindowSize = 32768;
// Longest distance searched: one short of the window, so that a chain slot is never reused
// while a walk can still reach it.
inline constexpr int kMaxDistance = kWindowSize - 1;

// --- Hash tables --------------------------------------------------------------------------------
// Chains are kept on four-byte strings, which rarely collide on text, so that a walk spends its
// candidates on strings that really match; three-byte matches come from a table of the latest
// position of each three-byte string. Larger tables gained nothing on the benchmark files and
// cost more to clear for every stream.
inline constexpr int kHash4Bits = 14;
inline constexpr int kHash3Bits = 13;
// A three-byte match further away than this costs more than its three literals on typical text.
inline constexpr int kMaxDistanceForLength3 = 4096;

// --- Blocks -------------------------------------------------------------------------------------
// Input is matched in rounds of this many bytes; block ends are chosen after each round among
// all the symbols not yet written.
inline constexpr size_t kRoundBytes = 256 * 1024;
// The last block of a round stays open so that it can grow in the next round, unless its input
// exceeds this size (its bytes stay in memory for the stored-block alternative) or it holds more
// symbols than this (the splitter looks at every open symbol again each round).
inline constexpr size_t kMaxOpenBlockBytes = 1024 * 1024;
inline constexpr size_t kMaxOpenBlockSymbols = 64 * 1024;
// Matching stops this far before the end of the buffered input unless the input is complete, so
// that the searches of the lazy look-ahead reach their full length.
inline constexpr int kMinLookahead = kMaxMatch + 2 + 8;

// Compressed bytes reach the sink in pieces of at most this size.
inline constexpr size_t kOutputBufferSize = 16384;

}  // namespace kx::detail
