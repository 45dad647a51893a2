#include "mapdata/deflater_pool.h"

#include <mutex>
#include <vector>

namespace kx {
namespace {

struct DeflaterPool {
  // Reserved once, so that giving a compressor back (in a destructor) never allocates.
  DeflaterPool() { idle.reserve(kMaxIdleDeflaters); }

  std::mutex mutex;
  std::vector<std::unique_ptr<Deflater>> idle;
};

DeflaterPool& Pool() {
  static DeflaterPool pool;
  return pool;
}

}  // namespace

DeflaterLease::DeflaterLease() {
  DeflaterPool& pool = Pool();
  {
    std::lock_guard lock(pool.mutex);
    if (!pool.idle.empty()) {
      deflater_ = std::move(pool.idle.back());
      pool.idle.pop_back();
      return;
    }
  }
  deflater_ = std::make_unique<Deflater>();  // allocated outside the lock
}

DeflaterLease::~DeflaterLease() {
  DeflaterPool& pool = Pool();
  std::unique_ptr<Deflater> surplus = std::move(deflater_);
  {
    std::lock_guard lock(pool.mutex);
    if (pool.idle.size() < kMaxIdleDeflaters) pool.idle.push_back(std::move(surplus));
  }
  // A surplus compressor is freed here, outside the lock.
}

size_t IdleDeflaterCount() {
  DeflaterPool& pool = Pool();
  std::lock_guard lock(pool.mutex);
  return pool.idle.size();
}

}  // namespace kx
