#include "web/detail/connection_threads.h"

namespace kx::web::detail {

void ConnectionThreads::MarkFinished(Entry& entry) {
  std::lock_guard lock(mutex_);
  entry.finished = true;
}

void ConnectionThreads::ReapFinished() {
  std::list<Entry> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end();) {
      const auto next = std::next(it);
      if (it->finished) finished.splice(finished.end(), entries_, it);
      it = next;
    }
  }
  for (Entry& entry : finished) entry.thread.join();  // each has only its return left
}

void ConnectionThreads::JoinAll() {
  std::list<Entry> all;
  {
    std::lock_guard lock(mutex_);
    all.splice(all.end(), entries_);
  }
  for (Entry& entry : all) entry.thread.join();
}

size_t ConnectionThreads::Count() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

}  // namespace kx::web::detail
