#include "web/detail/http_connection.h"

#include <array>
#include <boost/asio/buffer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/serializer.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

#include "web/detail/connection_stream.h"
#include "web/detail/error_text.h"
#include "web/detail/reply_body.h"
#include "web/detail/request_text.h"
#include "web/http_limits.h"

namespace kx::web::detail {
namespace {

namespace http = boost::beast::http;
using boost::asio::ip::tcp;
using boost::system::error_code;
using Request = http::request<http::string_body>;

enum class Next { kKeepAlive, kClose, kLingerAndClose };

[[nodiscard]] std::string_view View(boost::beast::string_view text) {
  return {text.data(), text.size()};
}

[[nodiscard]] bool IsServedMethod(http::verb method) {
  return method == http::verb::get || method == http::verb::post || method == http::verb::head;
}

// The status of the reply to a request that could not be read, or 0 when there is nobody to
// answer: the client went away, was too slow, or the server is stopping.
[[nodiscard]] int ReadFailureStatus(const error_code& ec) {
  if (ec == http::error::header_limit) return 431;
  if (ec == http::error::body_limit) return 413;
  if (ec.category() != http::make_error_code(http::error::bad_method).category()) return 0;
  if (ec == http::error::end_of_stream || ec == http::error::partial_message) return 0;
  return 400;
}

[[nodiscard]] HttpResponse StatusReply(int status, std::string body = {}) {
  HttpResponse response;
  response.status = status;
  response.body = std::move(body);
  return response;
}

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

class Connection {
 public:
  Connection(tcp::socket& socket, const ConnectionContext& context)
      : socket_(socket),
        context_(context),
        stream_(socket, context.stop, context.writeStallTimeout),
        clientAddress_(ClientAddressOf(socket)) {}

  void Serve() {
    Next next = Next::kKeepAlive;
    while (next == Next::kKeepAlive) next = ServeOneRequest();
    if (next == Next::kLingerAndClose) LingerBeforeClose();
  }

 private:
  [[nodiscard]] Next ServeOneRequest();
  [[nodiscard]] bool AwaitRequest();
  [[nodiscard]] Next AnswerReadFailure(const error_code& ec);
  [[nodiscard]] HttpRequest ToHttpRequest(Request& message) const;
  [[nodiscard]] std::string FindSession(const Request& message) const;
  [[nodiscard]] HttpResponse Dispatch(HttpRequest& request) const;
  error_code Send(HttpResponse response, unsigned version, bool keepAlive, bool headOnly);
  void LingerBeforeClose();

  tcp::socket& socket_;
  const ConnectionContext& context_;
  ConnectionStream stream_;
  const std::string clientAddress_;
  boost::beast::flat_buffer buffer_;  // read ahead of the current request
};

Next Connection::ServeOneRequest() {
  if (!AwaitRequest()) return Next::kClose;
  http::request_parser<http::string_body> parser;
  parser.header_limit(kMaxHeaderBytes);
  parser.body_limit(kMaxBodyBytes);
  stream_.SetReadDeadline(Clock::now() + context_.requestReadTimeout);
  error_code ec;
  http::read(stream_, buffer_, parser, ec);
  if (ec) return AnswerReadFailure(ec);

  Request& message = parser.get();
  HttpResponse response = StatusReply(501);
  if (IsServedMethod(message.method())) {
    HttpRequest request = ToHttpRequest(message);
    response = Dispatch(request);
  }
  const bool keepAlive = message.keep_alive() && !context_.stop.Raised();
  const bool headOnly = message.method() == http::verb::head;
  if (Send(std::move(response), message.version(), keepAlive, headOnly)) return Next::kClose;
  return keepAlive ? Next::kKeepAlive : Next::kClose;
}

// Waits for the first byte of the next request for at most the keep-alive idle time.
bool Connection::AwaitRequest() {
  if (context_.stop.Raised()) return false;
  if (buffer_.size() > 0) return true;  // the next request has already begun to arrive
  return !stream_.WaitReadable(Clock::now() + context_.keepAliveIdleTimeout);
}

Next Connection::AnswerReadFailure(const error_code& ec) {
  const int status = ReadFailureStatus(ec);
  if (status == 0) return Next::kClose;
  (void)Send(StatusReply(status), 11, false, false);
  return Next::kLingerAndClose;
}

HttpRequest Connection::ToHttpRequest(Request& message) const {
  HttpRequest request;
  request.method = std::string(View(message.method_string()));
  const TargetParts target = SplitTarget(View(message.target()));
  request.path = PercentDecode(target.path);
  request.query = std::string(target.query);
  if (message.method() == http::verb::post &&
      IsFormContentType(View(message[http::field::content_type]))) {
    request.formData = std::move(message.body());
  }
  request.host = std::string(View(message[http::field::host]));
  request.origin = std::string(View(message[http::field::origin]));
  request.fetchSite = std::string(View(message["Sec-Fetch-Site"]));
  request.clientAddress = clientAddress_;
  request.sessionId = FindSession(message);
  return request;
}

std::string Connection::FindSession(const Request& message) const {
  const auto [first, last] = message.equal_range(http::field::cookie);
  for (auto field = first; field != last; ++field) {
    const std::string_view id = FindCookie(View(field->value()), kSessionCookieName);
    if (!id.empty()) return context_.sessions.Find(id, clientAddress_);
  }
  return {};
}

HttpResponse Connection::Dispatch(HttpRequest& request) const {
  HttpResponse response;
  try {
    HttpExchange exchange(request, response, context_.sessions);
    context_.handler(exchange);
    if (response.status < 100 || response.status > 999) {
      throw std::out_of_range("invalid HTTP status " + std::to_string(response.status));
    }
  } catch (const std::exception& e) {
    return StatusReply(500, WithoutAbsolutePaths(e.what()));
  } catch (...) {
    return StatusReply(500, "unknown error");
  }
  return response;
}

// Sends the reply; for HEAD only its head, which still gives the length of the body.
error_code Connection::Send(HttpResponse response, unsigned version, bool keepAlive,
                            bool headOnly) {
  http::response<ReplyBody> reply;
  reply.version(version);
  reply.result(static_cast<unsigned>(response.status));
  reply.set("Cache-control", "no-cache");
  if (!response.contentType.empty()) reply.set(http::field::content_type, response.contentType);
  if (!response.setCookie.empty()) reply.set(http::field::set_cookie, response.setCookie);
  reply.keep_alive(keepAlive);
  reply.body().text = std::move(response.body);
  reply.body().file = std::move(response.file);
  reply.content_length(reply.body().Size());

  http::response_serializer<ReplyBody> serializer(reply);
  error_code ec;
  if (headOnly) {
    http::write_header(stream_, serializer, ec);
  } else {
    http::write(stream_, serializer, ec);
  }
  return ec;
}

// Stops sending, then reads and drops what the client still sends until it closes or the
// lingering time ends, so that the close does not reset the connection before the client has
// read the error reply.
void Connection::LingerBeforeClose() {
  error_code ec;
  socket_.shutdown(tcp::socket::shutdown_send, ec);
  stream_.SetReadDeadline(Clock::now() + kLingeringCloseTimeout);
  std::array<char, 4096> discard;
  while (!ec) (void)stream_.read_some(boost::asio::buffer(discard), ec);
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
    Connection(socket, context).Serve();
  } catch (...) {
    // A failure inside one connection (out of memory, a failing wait) ends that connection
    // only; the socket closes as it goes out of scope.
  }
}

}  // namespace kx::web::detail
