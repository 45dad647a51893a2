#include "mapdata/deflate.h"

#include <algorithm>
#include <cstring>

#include "mapdata/detail/bit_writer.h"
#include "mapdata/detail/block_encoder.h"
#include "mapdata/detail/block_splitter.h"
#include "mapdata/detail/deflate_symbols.h"
#include "mapdata/detail/deflate_tunables.h"
#include "mapdata/detail/lazy_parser.h"

namespace kx {
namespace detail {

// The window buffer holds the history that matches reach back into, the input of the open
// block (for the stored-block alternative), one round of new input and the lookahead.
constexpr int kWindowBufferSize =
    int(kWindowSize + kMaxOpenBlockBytes + kRoundBytes) + kMinLookahead;
// Match comparison reads whole 8-byte words past the last input byte.
constexpr int kWindowPadding = 8;

class DeflateState {
 public:
  DeflateState() : window_(kWindowBufferSize + kWindowPadding, 0) {}

  void Reset(DeflateSink& sink) {
    parser_.Reset(end_ + kWindowPadding);
    end_ = 0;
    position_ = 0;
    pendingStart_ = 0;
    pending_.clear();
    openSymbols_ = 0;
    openHistogram_.Clear();
    out_.Reset(sink);
  }

  void Write(std::span<const uint8_t> input) {
    while (!input.empty()) {
      if (end_ == kWindowBufferSize) {
        position_ = parser_.Parse(window_.data(), position_, end_ - kMinLookahead, end_, pending_);
        WriteBlocks(false);
        Slide();
      }
      const size_t take = std::min(input.size(), size_t(kWindowBufferSize - end_));
      std::memcpy(window_.data() + end_, input.data(), take);
      end_ += int(take);
      input = input.subspan(take);
    }
  }

  void Finish() {
    position_ = parser_.Parse(window_.data(), position_, end_, end_, pending_);
    WriteBlocks(true);
    out_.Flush();
  }

 private:
  // Writes the blocks that the splitter chose for the pending symbols. The last one stays open
  // to grow with the next round, unless the input has ended or the block has grown too large.
  void WriteBlocks(bool final) {
    if (pending_.empty()) {
      if (final) BlockEncoder::WriteEmptyFinal(out_);
      return;
    }
    const std::span<const Symbol> symbols(pending_);
    const std::span<const PlannedBlock> blocks =
        splitter_.Split(symbols, openSymbols_, openHistogram_);
    size_t begin = 0;
    for (const PlannedBlock& block : blocks) {
      const std::span<const Symbol> blockSymbols = symbols.subspan(begin, block.end - begin);
      size_t inputBytes = 0;
      for (const Symbol s : blockSymbols) inputBytes += s.InputBytes();
      const bool last = &block == &blocks.back();
      if (last && !final && inputBytes <= kMaxOpenBlockBytes &&
          blockSymbols.size() <= kMaxOpenBlockSymbols) {
        openHistogram_ = block.histogram;
        break;
      }
      encoder_.Write(blockSymbols, block.histogram, {window_.data() + pendingStart_, inputBytes},
                     final && last, out_);
      pendingStart_ += int(inputBytes);
      begin = block.end;
    }
    pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(begin));
    openSymbols_ = pending_.size();
    if (openSymbols_ == 0) openHistogram_.Clear();
  }

  // Drops input that neither the match history nor the open block needs any more.
  void Slide() {
    const int keepFrom = std::min(pendingStart_, position_ - kWindowSize);
    if (keepFrom <= 0) return;
    std::memmove(window_.data(), window_.data() + keepFrom, size_t(end_ - keepFrom));
    end_ -= keepFrom;
    position_ -= keepFrom;
    pendingStart_ -= keepFrom;
    parser_.Slide(keepFrom);
  }

  std::vector<uint8_t> window_;
  int end_ = 0;                  // input bytes in the window
  int position_ = 0;             // next position to parse
  int pendingStart_ = 0;         // first input byte not yet written in a block
  std::vector<Symbol> pending_;  // symbols not yet written
  size_t openSymbols_ = 0;       // the leading pending symbols that form the open block
  Histogram openHistogram_;      // and their counts
  LazyParser parser_;
  BlockSplitter splitter_;
  BlockEncoder encoder_;
  BitWriter out_;
};

}  // namespace detail

Deflater::Deflater() : state_(std::make_unique<detail::DeflateState>()) {}
Deflater::~Deflater() = default;

void Deflater::Reset(DeflateSink& sink) {
  state_->Reset(sink);
}

void Deflater::Write(std::span<const uint8_t> input) {
  state_->Write(input);
}

void Deflater::Finish() {
  state_->Finish();
}

namespace {

class VectorSink final : public DeflateSink {
 public:
  explicit VectorSink(std::vector<uint8_t>& out) : out_(out) {}
  void Put(std::span<const uint8_t> bytes) override {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
  }

 private:
  std::vector<uint8_t>& out_;
};

}  // namespace

std::vector<uint8_t> DeflateBuffer(std::span<const uint8_t> input) {
  std::vector<uint8_t> out;
  VectorSink sink(out);
  Deflater deflater;
  deflater.Reset(sink);
  deflater.Write(input);
  deflater.Finish();
  return out;
}

}  // namespace kx
