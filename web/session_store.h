// The HTTP server's own sessions: random ids handed to browsers in the IDHTTPSESSIONID cookie,
// each bound to the client address that received it and ended after an idle time-out.
//
// Thread-safe. The end callback is always called after the store's lock has been released, so a
// callback that waits for other locks (the main-thread gate) cannot block threads that use the
// store while holding those locks.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kx::web {

class SessionStore {
 public:
  using Clock = std::chrono::steady_clock;
  using EndCallback = std::function<void(const std::string& sessionId)>;

  SessionStore(std::chrono::milliseconds timeout, EndCallback onEnd);

  // Changes the idle time-out for the following sweeps.
  void SetTimeout(std::chrono::milliseconds timeout);

  // A new session bound to the client address: a fresh id of kSessionIdLength characters from
  // [A-Za-z0-9], drawn from the operating system's random source and unique among live sessions.
  [[nodiscard]] std::string Create(std::string_view clientAddress);

  // The id if it names a live session bound to this client address, which then counts as used
  // now; otherwise the empty text.
  [[nodiscard]] std::string Find(std::string_view sessionId, std::string_view clientAddress);

  // Ends the session if it is live, then calls the end callback for it. Nothing when unknown.
  // Here and in Sweep and EndAll every ended session gets its callback; when a callback throws,
  // the others still run and the first exception is rethrown afterwards.
  void End(const std::string& sessionId);

  // Ends every session idle for longer than the time-out at `now`, calling the callback for each.
  void Sweep(Clock::time_point now);

  // Ends every session (at server stop), calling the callback for each.
  void EndAll();

  [[nodiscard]] size_t Count() const;

 private:
  struct Session {
    std::string clientAddress;
    Clock::time_point lastUse;
  };

  // Calls the end callback for each id; must be called without holding the lock.
  void NotifyEnded(const std::vector<std::string>& sessionIds) const;

  std::chrono::milliseconds timeout_;
  EndCallback onEnd_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Session> sessions_;
};

}  // namespace kx::web
