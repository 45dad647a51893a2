#include "common/main_thread_gate.h"

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace kx {
namespace {

// The owner and the nesting depth are read by the owning thread only, or compared against the
// caller's own id (which no other thread can make equal), so they need no lock of their own
// beyond the atomicity of the id.
struct Gate {
  std::mutex lock;
  std::atomic<std::thread::id> owner{};
  int depth = 0;
};

Gate& TheGate() {
  static Gate gate;
  return gate;
}

}  // namespace

void EnterMainThread() {
  Gate& gate = TheGate();
  const auto self = std::this_thread::get_id();
  if (gate.owner.load(std::memory_order_relaxed) == self) {
    ++gate.depth;
    return;
  }
  gate.lock.lock();
  gate.owner.store(self, std::memory_order_relaxed);
  gate.depth = 1;
}

void LeaveMainThread() {
  Gate& gate = TheGate();
  if (gate.owner.load(std::memory_order_relaxed) != std::this_thread::get_id()) {
    throw std::logic_error("LeaveMainThread without a matching EnterMainThread");
  }
  if (--gate.depth > 0) return;
  gate.owner.store(std::thread::id(), std::memory_order_relaxed);
  gate.lock.unlock();
}

bool InMainThreadGate() {
  return TheGate().owner.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

}  // namespace kx
