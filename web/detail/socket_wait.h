// Waiting for a socket to become ready, bounded by a deadline and cut short by the server's stop
// signal, so that no server thread can block for ever: not on a silent client, not on a client
// that stops reading, and not when the server stops.
#pragma once

#include <atomic>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>

namespace kx::web::detail {

using Clock = std::chrono::steady_clock;
// The operating system's socket: a descriptor on POSIX systems, a SOCKET on Windows (where the
// sockets' native_handle() converts to it).
using NativeSocket = boost::asio::detail::socket_type;

// Raised once when the server stops; wakes every present and future wait.
class StopSignal {
 public:
  StopSignal();  // throws std::system_error
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  void Raise();
  [[nodiscard]] bool Raised() const { return raised_.load(std::memory_order_acquire); }
  // Waits up to the given time; true when the signal is raised (at once if it already is).
  [[nodiscard]] bool Wait(Clock::duration timeout) const;

  // Readable once raised; used by WaitUntil.
  [[nodiscard]] NativeSocket Handle() const { return wakeReader_; }

 private:
  std::atomic<bool> raised_{false};
  NativeSocket wakeReader_;
  NativeSocket wakeWriter_;
};

enum class WaitFor { kRead, kWrite };
enum class WaitResult { kReady, kTimedOut, kStopped };

// Waits until the socket is ready in the given direction (an error or the peer's close count as
// ready: the next operation reports them), the deadline passes (Clock::time_point::max() for
// none) or the stop signal is raised. When several hold, the stop signal wins.
[[nodiscard]] WaitResult WaitUntil(NativeSocket socket, WaitFor direction,
                                   Clock::time_point deadline, const StopSignal& stop);

// For the platforms' waits: milliseconds until the deadline, rounded up so that a wait never
// ends early; -1 waits without a limit.
[[nodiscard]] int PollTimeout(Clock::time_point deadline);

}  // namespace kx::web::detail
