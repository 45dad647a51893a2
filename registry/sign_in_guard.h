// The brute-force guard of the sign-in: counts failed password checks per client address and,
// once an address reaches the limit within the counting window, refuses its sign-ins for the
// block time without checking the password. The block lifts by itself.
//
// The count of an address runs from its first failure; when the window has passed since then,
// the next failure starts a new count. At most kMaxGuardedAddresses addresses are remembered:
// a failure from a new address beyond that forgets the address that failed least recently, so a
// flood of addresses cannot grow the state. Addresses whose window and block have passed are
// forgotten as later calls come by.
//
// Pure: the caller passes the time. Not thread-safe: every use happens inside the main-thread
// gate.
#pragma once

#include <chrono>
#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kx {

inline constexpr std::size_t kMaxGuardedAddresses = 10000;
inline constexpr int kDefaultMaxFailedSignIns = 10;
inline constexpr std::chrono::milliseconds kFailedSignInWindow = std::chrono::minutes(1);
inline constexpr std::chrono::milliseconds kSignInBlockTime = std::chrono::minutes(1);

class SignInGuard {
 public:
  using Clock = std::chrono::steady_clock;

  // maxFailures 0 (or below) turns the guard off: nothing is counted, nothing is blocked.
  explicit SignInGuard(int maxFailures = kDefaultMaxFailedSignIns,
                       std::chrono::milliseconds blockTime = kSignInBlockTime);
  // Movable only: the index refers into the list's nodes, which a move keeps and a copy would not.
  SignInGuard(const SignInGuard&) = delete;
  SignInGuard& operator=(const SignInGuard&) = delete;
  SignInGuard(SignInGuard&&) = default;
  SignInGuard& operator=(SignInGuard&&) = default;

  // Whether sign-ins from the address are refused at `now`.
  [[nodiscard]] bool Blocked(std::string_view address, Clock::time_point now);
  // Counts a failed password check from the address; the failure that reaches the limit starts
  // the block.
  void RecordFailure(std::string_view address, Clock::time_point now);

  [[nodiscard]] std::size_t AddressCount() const { return order_.size(); }

 private:
  struct Record {
    std::string address;
    Clock::time_point windowStart;
    int failures = 0;
    Clock::time_point blockedUntil;
  };
  using Order = std::list<Record>;  // least recently failed first

  [[nodiscard]] bool Stale(const Record& record, Clock::time_point now) const;
  void ForgetStale(Clock::time_point now);
  Record& RecordOf(std::string_view address, Clock::time_point now);

  int maxFailures_;
  std::chrono::milliseconds blockTime_;
  Order order_;
  std::unordered_map<std::string_view, Order::iterator> index_;  // keys view order_'s addresses
};

}  // namespace kx
