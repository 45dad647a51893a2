// The bound on connections served at once. A slot is taken before a connection's thread starts
// and given back when the slot is destroyed, which the connection's work does when it ends (or
// when its thread cannot start), so that the count never drifts.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <utility>

namespace kx::web::detail {

class ConnectionSlots {
 public:
  class Slot {
   public:
    explicit Slot(ConnectionSlots& owner) : owner_(&owner) {}
    Slot(Slot&& other) noexcept : owner_(std::exchange(other.owner_, nullptr)) {}
    Slot& operator=(Slot&&) = delete;
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;
    ~Slot() {
      if (owner_ != nullptr) owner_->inUse_.fetch_sub(1);
    }

   private:
    ConnectionSlots* owner_;
  };

  explicit ConnectionSlots(size_t limit) : limit_(limit) {}

  // Changes the bound for the following TryTake calls (at least 1).
  void SetLimit(size_t limit) { limit_ = limit < 1 ? 1 : limit; }

  // A slot, or nothing when every slot is in use.
  [[nodiscard]] std::optional<Slot> TryTake() {
    size_t current = inUse_.load();
    do {
      if (current >= limit_.load()) return std::nullopt;
    } while (!inUse_.compare_exchange_weak(current, current + 1));
    return std::optional<Slot>(std::in_place, *this);
  }

  [[nodiscard]] size_t InUse() const { return inUse_.load(); }

 private:
  std::atomic<size_t> limit_;
  std::atomic<size_t> inUse_{0};
};

}  // namespace kx::web::detail
