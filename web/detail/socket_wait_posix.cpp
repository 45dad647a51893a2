#include "web/detail/socket_wait.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace kx::web::detail {
namespace {

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// Polls the descriptor together with the stop signal; returns poll's revents of both.
[[nodiscard]] std::pair<short, short> Poll(int fd, short events, const StopSignal& stop,
                                           Clock::time_point deadline) {
  for (;;) {
    pollfd fds[2] = {{fd, events, 0}, {stop.Handle(), POLLIN, 0}};
    if (::poll(fds, 2, PollTimeout(deadline)) >= 0) return {fds[0].revents, fds[1].revents};
    if (errno != EINTR) ThrowErrno("cannot wait for a socket");
  }
}

}  // namespace

StopSignal::StopSignal() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) ThrowErrno("cannot create the stop signal");
  wakeReader_ = fds[0];
  wakeWriter_ = fds[1];
}

StopSignal::~StopSignal() {
  ::close(wakeReader_);
  ::close(wakeWriter_);
}

// The byte is never read, so the pipe stays readable and wakes every later wait as well.
void StopSignal::Raise() {
  if (raised_.exchange(true, std::memory_order_acq_rel)) return;
  const char byte = 1;
  while (::write(wakeWriter_, &byte, 1) < 0 && errno == EINTR) {
  }
}

bool StopSignal::Wait(Clock::duration timeout) const {
  const Clock::time_point deadline = Clock::now() + timeout;
  while (!Raised()) {
    if (Poll(-1, 0, *this, deadline).second != 0) return true;  // poll ignores fd -1
    if (Clock::now() >= deadline) return false;
  }
  return true;
}

WaitResult WaitUntil(NativeSocket socket, WaitFor direction, Clock::time_point deadline,
                     const StopSignal& stop) {
  const short events = direction == WaitFor::kRead ? POLLIN : POLLOUT;
  while (!stop.Raised()) {
    const auto [socketEvents, stopEvents] = Poll(socket, events, stop, deadline);
    if (stopEvents != 0) return WaitResult::kStopped;
    if (socketEvents != 0) return WaitResult::kReady;
    if (Clock::now() >= deadline) return WaitResult::kTimedOut;
  }
  return WaitResult::kStopped;
}

}  // namespace kx::web::detail
