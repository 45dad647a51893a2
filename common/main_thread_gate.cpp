#include "common/main_thread_gate.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace kx {
namespace {

// `held`, `waiting` and `waitingYielding` change under `lock`. The owner and the nesting depth
// are read without it by the owning thread only, or compared against the caller's own id (which
// no other thread can make equal), so they need no lock beyond the atomicity of the id.
struct Gate {
  std::mutex lock;
  std::condition_variable ordinaryTurn;
  std::condition_variable yieldingTurn;
  bool held = false;
  int waiting = 0;          // ordinary entries waiting
  int waitingYielding = 0;  // yielding entries waiting
  std::atomic<std::thread::id> owner{};
  int depth = 0;
};

Gate& TheGate() {
  static Gate gate;
  return gate;
}

thread_local bool enteringYielding = false;

void Acquire(Gate& gate) {
  std::unique_lock hold(gate.lock);
  if (enteringYielding) {
    ++gate.waitingYielding;
    gate.yieldingTurn.wait(hold, [&] { return !gate.held && gate.waiting == 0; });
    --gate.waitingYielding;
  } else {
    ++gate.waiting;
    gate.ordinaryTurn.wait(hold, [&] { return !gate.held; });
    --gate.waiting;
  }
  gate.held = true;
}

// Wakes one waiter, an ordinary one first. A thread that enters meanwhile may take the gate
// before the woken one; the woken one then waits again and is woken by that thread's release.
void Release(Gate& gate) {
  std::unique_lock hold(gate.lock);
  gate.held = false;
  const bool ordinaryWaits = gate.waiting > 0;
  const bool yieldingWaits = gate.waitingYielding > 0;
  hold.unlock();
  if (ordinaryWaits) {
    gate.ordinaryTurn.notify_one();
  } else if (yieldingWaits) {
    gate.yieldingTurn.notify_one();
  }
}

}  // namespace

void EnterMainThread() {
  Gate& gate = TheGate();
  const auto self = std::this_thread::get_id();
  if (gate.owner.load(std::memory_order_relaxed) == self) {
    ++gate.depth;
    return;
  }
  Acquire(gate);
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
  Release(gate);
}

bool InMainThreadGate() {
  return TheGate().owner.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

YieldingGateUse::YieldingGateUse() : wasYielding_(enteringYielding) {
  enteringYielding = true;
}

YieldingGateUse::~YieldingGateUse() {
  enteringYielding = wasYielding_;
}

}  // namespace kx
