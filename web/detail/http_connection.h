// Serving one client connection on a socket: the request loop (request_loop.h) over the socket
// with the server's time limits, and the refusal of a connection the server has no room for.
#pragma once

#include <boost/asio/ip/tcp.hpp>

#include "web/detail/request_loop.h"

namespace kx::web::detail {

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
