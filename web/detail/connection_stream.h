// A client socket as Beast's synchronous streams see it, with time limits: a read waits at most
// until the read deadline the connection sets, a write that makes no progress for the stall
// time-out fails, and both end at once when the server stops. The socket is non-blocking; the
// waiting happens in WaitUntil.
#pragma once

#include <boost/asio/error.hpp>
#include <boost/asio/ip/tcp.hpp>

#include "web/detail/socket_wait.h"
#include "web/detail/throwing_stream_calls.h"

namespace kx::web::detail {

class ConnectionStream : public ThrowingStreamCalls<ConnectionStream> {
 public:
  using error_code = boost::system::error_code;
  using ThrowingStreamCalls::read_some;
  using ThrowingStreamCalls::write_some;

  ConnectionStream(boost::asio::ip::tcp::socket& socket, const StopSignal& stop,
                   Clock::duration writeStallTimeout)
      : socket_(socket), stop_(stop), writeStallTimeout_(writeStallTimeout) {}

  void SetReadDeadline(Clock::time_point deadline) { readDeadline_ = deadline; }

  // Waits until the client has sent something (or closed) before the deadline.
  [[nodiscard]] error_code WaitReadable(Clock::time_point deadline) const {
    return Await(WaitFor::kRead, deadline);
  }

  [[nodiscard]] error_code ShutdownSend() {
    error_code ec;
    socket_.shutdown(boost::asio::ip::tcp::socket::shutdown_send, ec);
    return ec;
  }

  template <class MutableBuffers>
  size_t read_some(const MutableBuffers& buffers, error_code& ec) {
    for (;;) {
      const size_t got = socket_.read_some(buffers, ec);
      if (ec != boost::asio::error::would_block) return got;
      ec = Await(WaitFor::kRead, readDeadline_);
      if (ec) return 0;
    }
  }

  template <class ConstBuffers>
  size_t write_some(const ConstBuffers& buffers, error_code& ec) {
    for (;;) {
      const size_t sent = socket_.write_some(buffers, ec);
      if (ec != boost::asio::error::would_block) return sent;
      ec = Await(WaitFor::kWrite, Clock::now() + writeStallTimeout_);
      if (ec) return 0;
    }
  }

 private:
  [[nodiscard]] error_code Await(WaitFor direction, Clock::time_point deadline) const {
    switch (WaitUntil(socket_.native_handle(), direction, deadline, stop_)) {
      case WaitResult::kReady:
        return {};
      case WaitResult::kTimedOut:
        return boost::asio::error::timed_out;
      case WaitResult::kStopped:
        return boost::asio::error::operation_aborted;
    }
    return boost::asio::error::operation_aborted;
  }

  boost::asio::ip::tcp::socket& socket_;
  const StopSignal& stop_;
  Clock::duration writeStallTimeout_;
  Clock::time_point readDeadline_ = Clock::time_point::max();
};

}  // namespace kx::web::detail
