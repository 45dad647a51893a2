// Windows: WSAPoll waits on sockets only, so the stop signal is a pair of UDP sockets on the
// loopback address: raising it sends one datagram that is never read, which leaves the reading
// socket readable for every wait.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <system_error>
#include <utility>

#include "web/detail/socket_wait.h"

namespace kx::web::detail {
namespace {

[[noreturn]] void ThrowSocketError(const char* what) {
  throw std::system_error(WSAGetLastError(), std::system_category(), what);
}

// Polls the entries; throws when WSAPoll fails.
void Poll(WSAPOLLFD* entries, ULONG count, Clock::time_point deadline) {
  if (WSAPoll(entries, count, PollTimeout(deadline)) == SOCKET_ERROR) {
    ThrowSocketError("cannot wait for a socket");
  }
}

// Closes the socket unless released.
class SocketGuard {
 public:
  explicit SocketGuard(SOCKET socket) : socket_(socket) {}
  SocketGuard(const SocketGuard&) = delete;
  SocketGuard& operator=(const SocketGuard&) = delete;
  ~SocketGuard() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }
  [[nodiscard]] SOCKET get() const { return socket_; }
  SOCKET Release() { return std::exchange(socket_, INVALID_SOCKET); }

 private:
  SOCKET socket_;
};

[[nodiscard]] SOCKET LoopbackUdpSocket() {
  const SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (socket == INVALID_SOCKET) ThrowSocketError("cannot create the stop signal");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    closesocket(socket);
    ThrowSocketError("cannot create the stop signal");
  }
  return socket;
}

// The WinSock library stays started while a stop signal exists.
void StartWinSock() {
  WSADATA data;
  const int error = WSAStartup(MAKEWORD(2, 2), &data);
  if (error != 0) throw std::system_error(error, std::system_category(), "cannot start WinSock");
}

}  // namespace

StopSignal::StopSignal() {
  StartWinSock();
  try {
    SocketGuard reader(LoopbackUdpSocket());
    SocketGuard writer(LoopbackUdpSocket());
    sockaddr_in address{};
    int length = sizeof address;
    if (getsockname(reader.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        connect(writer.get(), reinterpret_cast<const sockaddr*>(&address), length) != 0) {
      ThrowSocketError("cannot create the stop signal");
    }
    wakeReader_ = reader.Release();
    wakeWriter_ = writer.Release();
  } catch (...) {
    WSACleanup();
    throw;
  }
}

StopSignal::~StopSignal() {
  closesocket(wakeReader_);
  closesocket(wakeWriter_);
  WSACleanup();
}

void StopSignal::Raise() {
  if (raised_.exchange(true, std::memory_order_acq_rel)) return;
  const char byte = 1;
  send(wakeWriter_, &byte, 1, 0);
}

bool StopSignal::Wait(Clock::duration timeout) const {
  const Clock::time_point deadline = Clock::now() + timeout;
  while (!Raised()) {
    WSAPOLLFD entry{wakeReader_, POLLRDNORM, 0};
    Poll(&entry, 1, deadline);
    if (entry.revents != 0) return true;
    if (Clock::now() >= deadline) return false;
  }
  return true;
}

WaitResult WaitUntil(NativeSocket socket, WaitFor direction, Clock::time_point deadline,
                     const StopSignal& stop) {
  const SHORT events = direction == WaitFor::kRead ? POLLRDNORM : POLLWRNORM;
  while (!stop.Raised()) {
    WSAPOLLFD entries[2] = {{socket, events, 0}, {stop.Handle(), POLLRDNORM, 0}};
    Poll(entries, 2, deadline);
    if (entries[1].revents != 0) return WaitResult::kStopped;
    if (entries[0].revents != 0) return WaitResult::kReady;
    if (Clock::now() >= deadline) return WaitResult::kTimedOut;
  }
  return WaitResult::kStopped;
}

}  // namespace kx::web::detail
