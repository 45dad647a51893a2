#include "registry/sign_in_guard.h"

namespace kx {

SignInGuard::SignInGuard(int maxFailures, std::chrono::milliseconds blockTime)
    : maxFailures_(maxFailures), blockTime_(blockTime) {}

bool SignInGuard::Blocked(std::string_view address, Clock::time_point now) {
  if (maxFailures_ <= 0) return false;
  ForgetStale(now);
  const auto found = index_.find(address);
  return found != index_.end() && now < found->second->blockedUntil;
}

void SignInGuard::RecordFailure(std::string_view address, Clock::time_point now) {
  if (maxFailures_ <= 0) return;
  ForgetStale(now);
  Record& record = RecordOf(address, now);
  if (now < record.blockedUntil) return;  // a blocked address is not counted on
  if (record.failures == 0 || now - record.windowStart >= kFailedSignInWindow) {
    record.windowStart = now;
    record.failures = 0;
  }
  if (++record.failures < maxFailures_) return;
  record.blockedUntil = now + blockTime_;
  record.failures = 0;
}

bool SignInGuard::Stale(const Record& record, Clock::time_point now) const {
  return now >= record.blockedUntil && now - record.windowStart >= kFailedSignInWindow;
}

// The list is in order of last failure, so stale records gather at its front.
void SignInGuard::ForgetStale(Clock::time_point now) {
  while (!order_.empty() && Stale(order_.front(), now)) {
    index_.erase(order_.front().address);
    order_.pop_front();
  }
}

// The address's record, moved to the back of the list (created, after forgetting the least
// recent address when the limit is reached, if the address has none).
SignInGuard::Record& SignInGuard::RecordOf(std::string_view address, Clock::time_point now) {
  const auto found = index_.find(address);
  if (found != index_.end()) {
    order_.splice(order_.end(), order_, found->second);
    return order_.back();
  }
  if (order_.size() >= kMaxGuardedAddresses) {
    index_.erase(order_.front().address);
    order_.pop_front();
  }
  order_.push_back(Record{std::string(address), now, 0, Clock::time_point{}});
  index_.emplace(order_.back().address, std::prev(order_.end()));
  return order_.back();
}

}  // namespace kx
