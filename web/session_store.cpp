#include "web/session_store.h"

#include <algorithm>
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

SessionStore::SessionStore(std::chrono::milliseconds timeout, EndCallback onEnd, size_t maxSessions)
    : timeout_(timeout), onEnd_(std::move(onEnd)), maxSessions_(std::max<size_t>(1, maxSessions)) {}

void SessionStore::SetTimeout(std::chrono::milliseconds timeout) {
  std::lock_guard lock(mutex_);
  timeout_ = timeout;
}

void SessionStore::SetMaxSessions(size_t maxSessions) {
  std::lock_guard lock(mutex_);
  maxSessions_ = std::max<size_t>(1, maxSessions);
}

std::string SessionStore::Create(std::string_view clientAddress, SessionKind kind) {
  std::vector<std::string> ended;
  std::string id;
  for (bool inserted = false; !inserted;) {
    id = NewSessionId();  // drawn outside the lock: it is a system call
    std::lock_guard lock(mutex_);
    inserted = Insert(id, clientAddress, kind, ended);
  }
  NotifyEnded(ended);
  return id;
}

bool SessionStore::Insert(const std::string& id, std::string_view clientAddress, SessionKind kind,
                          std::vector<std::string>& ended) {
  if (sessions_.contains(id)) return false;
  while (sessions_.size() >= maxSessions_) EvictOne(ended);
  UseOrder& order = UseOrderOf(kind);
  order.push_back(id);
  sessions_.emplace(
      id, Session{std::string(clientAddress), Clock::now(), kind, std::prev(order.end())});
  return true;
}

std::string SessionStore::Find(std::string_view sessionId, std::string_view clientAddress) {
  std::lock_guard lock(mutex_);
  const auto it = sessions_.find(std::string(sessionId));
  if (it == sessions_.end() || it->second.clientAddress != clientAddress) return {};
  Session& session = it->second;
  session.lastUse = Clock::now();
  UseOrder& order = UseOrderOf(session.kind);
  order.splice(order.end(), order, session.inUseOrder);
  return it->first;
}

void SessionStore::End(const std::string& sessionId) {
  {
    std::lock_guard lock(mutex_);
    const auto it = sessions_.find(sessionId);
    if (it == sessions_.end()) return;
    Forget(it);
  }
  NotifyEnded({sessionId});
}

void SessionStore::Sweep(Clock::time_point now) {
  std::vector<std::string> ended;
  {
    std::lock_guard lock(mutex_);
    // Each use order holds its sessions by last use: the idle ones are at its front.
    for (UseOrder& order : useOrder_) {
      while (!order.empty()) {
        const auto it = sessions_.find(order.front());
        if (now - it->second.lastUse <= timeout_) break;
        ended.push_back(it->first);
        Forget(it);
      }
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
    for (UseOrder& order : useOrder_) order.clear();
  }
  NotifyEnded(ended);
}

void SessionStore::Forget(std::unordered_map<std::string, Session>::iterator session) {
  UseOrderOf(session->second.kind).erase(session->second.inUseOrder);
  sessions_.erase(session);
}

void SessionStore::EvictOne(std::vector<std::string>& ended) {
  UseOrder& guests = UseOrderOf(SessionKind::kGuest);
  UseOrder& victims = guests.empty() ? UseOrderOf(SessionKind::kSignedIn) : guests;
  const auto it = sessions_.find(victims.front());
  ended.push_back(it->first);
  Forget(it);
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
