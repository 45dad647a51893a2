#include "web/detail/http_connection.h"

#include <array>
#include <boost/asio/buffer.hpp>
#include <string>
#include <string_view>

#include "web/detail/connection_stream.h"

namespace kx::web::detail {
namespace {

using boost::asio::ip::tcp;
using boost::system::error_code;

// The peer's address as text; an IPv4 client reaching an IPv6 socket shows as IPv4.
[[nodiscard]] std::string ClientAddressOf(const tcp::socket& socket) {
  error_code ec;
  const tcp::endpoint peer = socket.remote_endpoint(ec);
  if (ec) return {};
  const auto address = peer.address();
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, address.to_v6())
        .to_string();
  }
  return address.to_string();
}

constexpr std::string_view kServiceUnavailableReply =
    "HTTP/1.1 503 Service Unavailable\r\nCache-control: no-cache\r\nContent-Length: 0\r\n"
    "Connection: close\r\n\r\n";

}  // namespace

void RefuseConnection(tcp::socket socket) noexcept {
  error_code ec;
  socket.non_blocking(true, ec);
  if (ec) return;
  // A fresh connection's send buffer is empty: the short reply goes out in one call.
  (void)socket.write_some(boost::asio::buffer(kServiceUnavailableReply), ec);
  socket.shutdown(tcp::socket::shutdown_send, ec);
  std::array<char, 4096> discard;
  while (!ec) (void)socket.read_some(boost::asio::buffer(discard), ec);
}

void ServeConnection(tcp::socket socket, const ConnectionContext& context) noexcept {
  try {
    socket.non_blocking(true);
    socket.set_option(tcp::no_delay(true));
    ConnectionStream stream(socket, context.stop, context.writeStallTimeout);
    RequestLoop<ConnectionStream>(stream, context, ClientAddressOf(socket)).Serve();
  } catch (...) {
    // A failure inside one connection (out of memory, a failing wait) ends that connection
    // only; the socket closes as it goes out of scope.
  }
}

}  // namespace kx::web::detail
