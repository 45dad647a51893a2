// The threads that serve client connections. Each is tracked from its start, joined once it has
// finished (ReapFinished, called regularly, so that a long-running server does not pile them up)
// and at the latest when the server stops (JoinAll); none is ever detached.
#pragma once

#include <list>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace kx::web::detail {

class ConnectionThreads {
 public:
  ConnectionThreads() = default;
  ConnectionThreads(const ConnectionThreads&) = delete;
  ConnectionThreads& operator=(const ConnectionThreads&) = delete;
  ~ConnectionThreads() { JoinAll(); }

  // Runs `work` (which must not throw) on a new thread. When the thread cannot be started, `work`
  // is destroyed unrun, releasing what it owns, and false is returned.
  template <class Work>
  [[nodiscard]] bool Launch(Work work);

  void ReapFinished();
  void JoinAll();
  [[nodiscard]] size_t Count() const;

 private:
  struct Entry {
    std::thread thread;
    bool finished = false;
  };

  void MarkFinished(Entry& entry);

  mutable std::mutex mutex_;
  std::list<Entry> entries_;  // a list, so that a running thread's entry never moves
};

template <class Work>
bool ConnectionThreads::Launch(Work work) {
  // The lock is held while the thread starts, so the thread cannot mark its entry finished, nor
  // can the entry be reaped, before the entry holds the thread.
  std::lock_guard lock(mutex_);
  Entry& entry = entries_.emplace_back();
  try {
    entry.thread = std::thread([this, &entry, work = std::move(work)]() mutable {
      work();
      MarkFinished(entry);
    });
    return true;
  } catch (const std::system_error&) {
    entries_.pop_back();
    return false;
  }
}

}  // namespace kx::web::detail
