// The HTTP server's own sessions: random ids handed to browsers in the IDHTTPSESSIONID cookie,
// each bound to the client address that received it and ended after an idle time-out.
//
// The number of live sessions is bounded. A visitor without a cookie can make a new session with
// every request, so when the store is full a new session ends the guest session idle the
// longest, and a signed-in user's session (the one idle the longest) only when no guest session
// is left. Every operation takes the same time however many sessions there are: sessions are
// found by id, and kept per kind in order of last use, so that the sweep and the eviction look
// only at the sessions they end.
//
// Thread-safe. The end callback is always called after the store's lock has been released, so a
// callback that waits for other locks (the main-thread gate) cannot block threads that use the
// store while holding those locks.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "web/http_limits.h"

namespace kx::web {

// Guest sessions are the first to go when the store is full.
enum class SessionKind { kGuest, kSignedIn };

class SessionStore {
 public:
  using Clock = std::chrono::steady_clock;
  using EndCallback = std::function<void(const std::string& sessionId)>;

  SessionStore(std::chrono::milliseconds timeout, EndCallback onEnd,
               size_t maxSessions = kMaxSessions);

  // Changes the idle time-out for the following sweeps.
  void SetTimeout(std::chrono::milliseconds timeout);
  // Changes the most live sessions (at least 1) for the following creations.
  void SetMaxSessions(size_t maxSessions);

  // A new session bound to the client address: a fresh id of kSessionIdLength characters from
  // [A-Za-z0-9], drawn from the operating system's random source and unique among live sessions.
  // When the store is full, one session is ended first (see above) and gets its callback.
  [[nodiscard]] std::string Create(std::string_view clientAddress,
                                   SessionKind kind = SessionKind::kSignedIn);

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
  // Ids of one kind of session, the one used longest ago first.
  using UseOrder = std::list<std::string>;

  struct Session {
    std::string clientAddress;
    Clock::time_point lastUse;
    SessionKind kind;
    UseOrder::iterator inUseOrder;  // the id's place in useOrder_[kind]
  };

  [[nodiscard]] UseOrder& UseOrderOf(SessionKind kind) {
    return useOrder_[static_cast<size_t>(kind)];
  }
  // Under the lock: adds the session unless the id is taken, ending sessions (their ids go to
  // `ended`) to make room. False when the id is taken.
  [[nodiscard]] bool Insert(const std::string& id, std::string_view clientAddress, SessionKind kind,
                            std::vector<std::string>& ended);
  // Under the lock: removes the session from the map and its use order.
  void Forget(std::unordered_map<std::string, Session>::iterator session);
  // Under the lock: ends the guest session used longest ago, or the signed-in one when there is
  // no guest session, and adds its id to `ended`.
  void EvictOne(std::vector<std::string>& ended);

  // Calls the end callback for each id; must be called without holding the lock.
  void NotifyEnded(const std::vector<std::string>& sessionIds) const;

  std::chrono::milliseconds timeout_;
  EndCallback onEnd_;
  size_t maxSessions_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Session> sessions_;
  std::array<UseOrder, 2> useOrder_;  // indexed by SessionKind
};

}  // namespace kx::web
