#include "web/session_store.h"

#include <array>
#include <exception>
#include <utility>

#include "web/detail/random.h"
#include "web/http_limits.h"

namespace kx::web {
namespace {

constexpr std::string_view kIdAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// Random bytes at or above the largest multiple of the alphabet's size are skipped, so that
// every character of an id is equally likely.
constexpr unsigned kUnbiasedByteBound = 256 - 256 % kIdAlphabet.size();

[[nodiscard]] std::string NewSessionId() {
  std::string id;
  id.reserve(kSessionIdLength);
  std::array<unsigned char, 32> pool{};
  while (id.size() < kSessionIdLength) {
    detail::FillRandom(pool);
    for (const unsigned char byte : pool) {
      if (byte >= kUnbiasedByteBound) continue;
      id.push_back(kIdAlphabet[byte % kIdAlphabet.size()]);
      if (id.size() == kSessionIdLength) break;
    }
  }
  return id;
}

}  // namespace

SessionStore::SessionStore(std::chrono::milliseconds timeout, EndCallback onEnd)
    : timeout_(timeout), onEnd_(std::move(onEnd)) {}

void SessionStore::SetTimeout(std::chrono::milliseconds timeout) {
  std::lock_guard lock(mutex_);
  timeout_ = timeout;
}

std::string SessionStore::Create(std::string_view clientAddress) {
  for (;;) {
    std::string id = NewSessionId();  // drawn outside the lock: it is a system call
    std::lock_guard lock(mutex_);
    const auto [it, inserted] =
        sessions_.try_emplace(id, Session{std::string(clientAddress), Clock::now()});
    if (inserted) return id;
  }
}

std::string SessionStore::Find(std::string_view sessionId, std::string_view clientAddress) {
  std::lock_guard lock(mutex_);
  const auto it = sessions_.find(std::string(sessionId));
  if (it == sessions_.end() || it->second.clientAddress != clientAddress) return {};
  it->second.lastUse = Clock::now();
  return it->first;
}

void SessionStore::End(const std::string& sessionId) {
  {
    std::lock_guard lock(mutex_);
    if (sessions_.erase(sessionId) == 0) return;
  }
  NotifyEnded({sessionId});
}

void SessionStore::Sweep(Clock::time_point now) {
  std::vector<std::string> ended;
  {
    std::lock_guard lock(mutex_);
    for (auto it = sessions_.begin(); it != sessions_.end();) {
      if (now - it->second.lastUse <= timeout_) {
        ++it;
        continue;
      }
      ended.push_back(it->first);
      it = sessions_.erase(it);
    }
  }
  NotifyEnded(ended);
}

void SessionStore::EndAll() {
  std::vector<std::string> ended;
  {
    std::lock_guard lock(mutex_);
    for (const auto& entry : sessions_) ended.push_back(entry.first);
    sessions_.clear();
  }
  NotifyEnded(ended);
}

size_t SessionStore::Count() const {
  std::lock_guard lock(mutex_);
  return sessions_.size();
}

// Every ended session gets its callback even when an earlier one fails, so that the owner of the
// callback does not keep records of sessions that no longer exist; the first failure is
// rethrown afterwards.
void SessionStore::NotifyEnded(const std::vector<std::string>& sessionIds) const {
  if (!onEnd_) return;
  std::exception_ptr firstFailure;
  for (const auto& id : sessionIds) {
    try {
      onEnd_(id);
    } catch (...) {
      if (!firstFailure) firstFailure = std::current_exception();
    }
  }
  if (firstFailure) std::rethrow_exception(firstFailure);
}

}  // namespace kx::web
