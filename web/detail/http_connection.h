// Serving one client connection: read a request within the limits, hand it to the request
// handler, send the reply, and repeat while the connection stays alive.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <chrono>

#include "web/detail/socket_wait.h"
#include "web/http_server.h"
#include "web/session_store.h"

namespace kx::web::detail {

struct ConnectionContext {
  const RequestHandler& handler;
  SessionStore& sessions;
  const StopSignal& stop;
  std::chrono::milliseconds requestReadTimeout;
  std::chrono::milliseconds keepAliveIdleTimeout;
  std::chrono::milliseconds writeStallTimeout;
};

// Serves the connection until the client closes it, a limit or time-out ends it, or the stop
// signal is raised; then closes the socket. Never throws.
void ServeConnection(boost::asio::ip::tcp::socket socket,
                     const ConnectionContext& context) noexcept;

// Answers a connection the server has no room for: 503 with an empty body, sent without waiting,
// then the socket is closed. Runs on the listener's thread, so it never blocks: what the client
// has sent so far is read and dropped (closing with unread input would reset the connection and
// could destroy the reply), but nothing is waited for. Never throws.
void RefuseConnection(boost::asio::ip::tcp::socket socket) noexcept;

}  // namespace kx::web::detail
