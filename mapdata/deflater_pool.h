// The compressors of the process. A compressor's state is over a megabyte, so a finished one is
// kept for the next archive instead of being allocated and zeroed again; but only a few are kept,
// for the whole process, so that memory does not grow with the number of threads (one per
// client connection) that ever packed an archive. Archives are packed one at a time inside the
// main-thread gate, so one compressor is normally all there is.
#pragma once

#include <cstddef>
#include <memory>

#include "mapdata/deflate.h"

namespace kx {

// Most finished compressors kept for reuse; a compressor returned beyond them is freed.
inline constexpr size_t kMaxIdleDeflaters = 2;

// A compressor used by one archive writer at a time: taken from the kept ones (or made when none
// is free) and given back when the lease ends.
class DeflaterLease {
 public:
  DeflaterLease();
  ~DeflaterLease();
  DeflaterLease(const DeflaterLease&) = delete;
  DeflaterLease& operator=(const DeflaterLease&) = delete;

  [[nodiscard]] Deflater& operator*() const { return *deflater_; }

 private:
  std::unique_ptr<Deflater> deflater_;
};

// How many finished compressors are kept now.
[[nodiscard]] size_t IdleDeflaterCount();

}  // namespace kx
