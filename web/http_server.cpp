#include "web/http_server.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/system/system_error.hpp>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "web/detail/connection_slots.h"
#include "web/detail/connection_threads.h"
#include "web/detail/http_connection.h"
#include "web/detail/socket_wait.h"
#include "web/http_limits.h"

namespace kx::web {

std::string HttpExchange::StartSession(SessionKind kind) {
  std::string id = sessions_.Create(request.clientAddress, kind);
  request.sessionId = id;
  response.setCookie =
      std::string(kSessionCookieName) + "=" + id + "; path=/; HttpOnly; SameSite=Lax";
  return id;
}

void HttpExchange::EndSession(const std::string& sessionId) {
  sessions_.End(sessionId);
  // Cleared last: the argument is often request.sessionId itself.
  if (request.sessionId == sessionId) request.sessionId.clear();
}

namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using detail::Clock;

// With port 0 the IPv4 socket gets a port from the system and IPv6 must take the same one, which
// another program may already hold on IPv6; then a new port is tried, a few times.
constexpr int kChosenPortAttempts = 8;

// Opens a listening socket on the endpoint; throws boost::system::system_error.
void Listen(tcp::acceptor& acceptor, const tcp::endpoint& endpoint) {
  acceptor.open(endpoint.protocol());
  if (endpoint.address().is_v6()) acceptor.set_option(asio::ip::v6_only(true));
  acceptor.set_option(tcp::acceptor::reuse_address(true));
  // Report a connection reset before it was accepted instead of waiting inside accept.
  acceptor.set_option(tcp::acceptor::enable_connection_aborted(true));
  acceptor.bind(endpoint);
  acceptor.listen();
  acceptor.non_blocking(true);
}

[[nodiscard]] bool IsIpv6Missing(const boost::system::error_code& ec) {
  return ec == asio::error::address_family_not_supported ||
         ec == boost::system::errc::address_not_available;
}

// Listening sockets on every local address: IPv4, and IPv6 where the system has it.
[[nodiscard]] std::vector<tcp::acceptor> ListenEverywhere(asio::io_context& io, uint16_t port) {
  for (int attempt = 1;; ++attempt) {
    std::vector<tcp::acceptor> acceptors;
    Listen(acceptors.emplace_back(io), {tcp::v4(), port});
    const uint16_t bound = acceptors.front().local_endpoint().port();
    try {
      Listen(acceptors.emplace_back(io), {tcp::v6(), bound});
    } catch (const boost::system::system_error& e) {
      if (IsIpv6Missing(e.code())) {
        acceptors.pop_back();
        return acceptors;
      }
      const bool retry =
          port == 0 && e.code() == asio::error::address_in_use && attempt < kChosenPortAttempts;
      if (!retry) throw;
      continue;
    }
    return acceptors;
  }
}

}  // namespace

struct HttpServer::Impl {
  Impl(RequestHandler handler, SessionStore::EndCallback onSessionEnd)
      : handler(std::move(handler)), sessions(kSessionTimeout, std::move(onSessionEnd)) {}

  void Open(const HttpServerOptions& options);
  void StartThreads(const detail::ConnectionContext& context);
  void AcceptLoop(tcp::acceptor& acceptor, const detail::ConnectionContext& context);
  void Housekeeping();
  void Shutdown();

  RequestHandler handler;
  SessionStore sessions;
  asio::io_context io;  // holds the sockets' services; never run, all I/O is synchronous
  std::atomic<bool> active{false};
  std::atomic<uint16_t> port{0};

  // While active:
  std::unique_ptr<detail::StopSignal> stop;
  std::vector<tcp::acceptor> acceptors;
  std::vector<std::thread> threads;  // one listener per acceptor, and the housekeeping thread
  detail::ConnectionSlots connectionSlots{kMaxConnections};
  detail::ConnectionThreads connections;
};

void HttpServer::Impl::Open(const HttpServerOptions& options) {
  try {
    acceptors = ListenEverywhere(io, options.port);
  } catch (const boost::system::system_error& e) {
    throw std::system_error(e.code().value(), std::system_category(),
                            "cannot listen on HTTP port " + std::to_string(options.port));
  }
  port = acceptors.front().local_endpoint().port();
}

void HttpServer::Impl::StartThreads(const detail::ConnectionContext& context) {
  threads.reserve(acceptors.size() + 1);
  for (tcp::acceptor& acceptor : acceptors) {
    threads.emplace_back([this, &acceptor, context] { AcceptLoop(acceptor, context); });
  }
  threads.emplace_back([this] { Housekeeping(); });
}

void HttpServer::Impl::AcceptLoop(tcp::acceptor& acceptor,
                                  const detail::ConnectionContext& context) {
  for (;;) {
    const auto waited = detail::WaitUntil(acceptor.native_handle(), detail::WaitFor::kRead,
                                          Clock::time_point::max(), *stop);
    if (waited == detail::WaitResult::kStopped) return;
    boost::system::error_code ec;
    tcp::socket socket = acceptor.accept(ec);
    if (ec == asio::error::would_block || ec == asio::error::try_again ||
        ec == asio::error::connection_aborted) {
      continue;
    }
    if (ec) {
      if (stop->Wait(kAcceptErrorBackoff)) return;
      continue;
    }
    std::optional<detail::ConnectionSlots::Slot> slot = connectionSlots.TryTake();
    if (!slot) {
      detail::RefuseConnection(std::move(socket));
      continue;
    }
    // When no thread can be started the socket is closed: the client sees the connection end.
    // The slot is given back when the work ends, or unused when its thread cannot start.
    (void)connections.Launch(
        [context, socket = std::move(socket), slot = std::move(*slot)]() mutable {
          detail::ServeConnection(std::move(socket), context);
        });
  }
}

// Ends idle sessions and joins the threads of finished connections, once per sweep interval.
void HttpServer::Impl::Housekeeping() {
  while (!stop->Wait(kSessionSweepInterval)) {
    try {
      sessions.Sweep(Clock::now());
    } catch (...) {
      // A failing end callback must not end the sweeps; the other sessions were ended anyway.
    }
    connections.ReapFinished();
  }
}

// Stops and joins whatever has been started; safe after a partial start.
void HttpServer::Impl::Shutdown() {
  if (stop) stop->Raise();
  for (std::thread& thread : threads) thread.join();
  threads.clear();
  acceptors.clear();  // closes the listening sockets
  connections.JoinAll();
  stop.reset();
}

HttpServer::HttpServer(RequestHandler handler, SessionStore::EndCallback onSessionEnd)
    : impl_(std::make_unique<Impl>(std::move(handler), std::move(onSessionEnd))) {}

HttpServer::~HttpServer() {
  Stop();
}

void HttpServer::Start(const HttpServerOptions& options) {
  if (impl_->active) throw std::logic_error("the HTTP server is already active");
  impl_->sessions.SetTimeout(options.sessionTimeout);
  impl_->sessions.SetMaxSessions(options.maxSessions);
  impl_->connectionSlots.SetLimit(options.maxConnections);
  impl_->stop = std::make_unique<detail::StopSignal>();
  const detail::ConnectionContext context{impl_->handler,
                                          impl_->sessions,
                                          *impl_->stop,
                                          options.requestReadTimeout,
                                          options.keepAliveIdleTimeout,
                                          options.writeStallTimeout};
  try {
    impl_->Open(options);
    impl_->StartThreads(context);
  } catch (...) {
    impl_->Shutdown();
    throw;
  }
  impl_->active = true;
}

void HttpServer::Stop() {
  if (!impl_->active.exchange(false)) return;
  impl_->Shutdown();
  impl_->port = 0;
  try {
    impl_->sessions.EndAll();
  } catch (...) {
    // Every session has ended; a failing end callback cannot undo the stop.
  }
}

bool HttpServer::Active() const {
  return impl_->active;
}

uint16_t HttpServer::Port() const {
  return impl_->port;
}

SessionStore& HttpServer::Sessions() {
  return impl_->sessions;
}

}  // namespace kx::web
