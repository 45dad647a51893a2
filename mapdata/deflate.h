// Raw deflate compression (RFC 1951) with the match settings of the classic implementation's
// level 8. Works on buffers: input is handed in with Write, compressed bytes go to a sink.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kx {

// Receives compressed bytes, in pieces of at most 16384 bytes.
class DeflateSink {
 public:
  virtual void Put(std::span<const uint8_t> bytes) = 0;

 protected:
  ~DeflateSink() = default;
};

namespace detail {
class DeflateState;
}

// One compressor, reusable for any number of streams. Its state (a window buffer of 1.3 MB,
// hash chains, and symbol buffers that grow to a few megabytes on large inputs) is allocated
// once and only reset between streams.
class Deflater {
 public:
  Deflater();
  ~Deflater();
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Starts a new stream whose compressed bytes go to `sink`, forgetting any earlier stream.
  void Reset(DeflateSink& sink);
  // Compresses more input. Output reaches the sink as blocks are completed.
  void Write(std::span<const uint8_t> input);
  // Ends the stream: writes the remaining blocks, the last one marked final, and flushes.
  void Finish();

 private:
  std::unique_ptr<detail::DeflateState> state_;
};

// Compresses a whole buffer into one raw deflate stream.
[[nodiscard]] std::vector<uint8_t> DeflateBuffer(std::span<const uint8_t> input);

}  // namespace kx
