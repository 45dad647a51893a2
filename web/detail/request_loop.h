// The requests of one client connection: read a request within the limits, hand it to the
// request handler, send the reply, and repeat while the connection stays alive. It runs over any
// byte stream: the server gives it a socket with time limits (connection_stream.h), the fuzz
// tests give it bytes in memory.
//
// Besides Beast's synchronous read_some and write_some, the stream has
//   void SetReadDeadline(Clock::time_point)            the deadline of the reads that follow;
//   error_code WaitReadable(Clock::time_point) const   waits for the next byte or the end;
//   error_code ShutdownSend()                          ends the sending direction.
#pragma once

#include <array>
#include <boost/asio/buffer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/serializer.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <chrono>
#include <string>
#include <utility>

#include "web/detail/reply_body.h"
#include "web/detail/socket_wait.h"
#include "web/http_limits.h"
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

using RequestMessage = boost::beast::http::request<boost::beast::http::string_body>;
using ReplyMessage = boost::beast::http::response<ReplyBody>;

// The status of the reply to a request that could not be read, or 0 when there is nobody to
// answer: the client went away, was too slow, or the server is stopping.
[[nodiscard]] int ReadFailureStatus(const boost::system::error_code& ec);

[[nodiscard]] HttpResponse StatusReply(int status, std::string body = {});

// The handler's answer to a request read in full; 501 for a method the server does not serve,
// 500 when the handler fails.
[[nodiscard]] HttpResponse Answer(RequestMessage& message, const std::string& clientAddress,
                                  const ConnectionContext& context);

// The message that carries the answer, with the headers every reply has.
[[nodiscard]] ReplyMessage MakeReply(HttpResponse response, unsigned version, bool keepAlive);

template <class Stream>
class RequestLoop {
 public:
  RequestLoop(Stream& stream, const ConnectionContext& context, std::string clientAddress)
      : stream_(stream), context_(context), clientAddress_(std::move(clientAddress)) {}

  // Serves requests until the client closes the stream, a limit or time-out ends it, or the stop
  // signal is raised. Throws only what the stream or memory allocation throw.
  void Serve() {
    Next next = Next::kKeepAlive;
    while (next == Next::kKeepAlive) next = ServeOneRequest();
    if (next == Next::kLingerAndClose) LingerBeforeClose();
  }

 private:
  using error_code = boost::system::error_code;
  enum class Next { kKeepAlive, kClose, kLingerAndClose };

  [[nodiscard]] Next ServeOneRequest();
  [[nodiscard]] bool AwaitRequest();
  [[nodiscard]] Next AnswerReadFailure(const error_code& ec);
  error_code Send(HttpResponse response, unsigned version, bool keepAlive, bool headOnly);
  void LingerBeforeClose();

  Stream& stream_;
  const ConnectionContext& context_;
  const std::string clientAddress_;
  boost::beast::flat_buffer buffer_;  // read ahead of the current request
};

template <class Stream>
typename RequestLoop<Stream>::Next RequestLoop<Stream>::ServeOneRequest() {
  namespace http = boost::beast::http;
  if (!AwaitRequest()) return Next::kClose;
  http::request_parser<http::string_body> parser;
  parser.header_limit(kMaxHeaderBytes);
  parser.body_limit(kMaxBodyBytes);
  stream_.SetReadDeadline(Clock::now() + context_.requestReadTimeout);
  error_code ec;
  http::read(stream_, buffer_, parser, ec);
  if (ec) return AnswerReadFailure(ec);

  RequestMessage& message = parser.get();
  HttpResponse response = Answer(message, clientAddress_, context_);
  const bool keepAlive = message.keep_alive() && !context_.stop.Raised();
  const bool headOnly = message.method() == http::verb::head;
  if (Send(std::move(response), message.version(), keepAlive, headOnly)) return Next::kClose;
  return keepAlive ? Next::kKeepAlive : Next::kClose;
}

// Waits for the first byte of the next request for at most the keep-alive idle time.
template <class Stream>
bool RequestLoop<Stream>::AwaitRequest() {
  if (context_.stop.Raised()) return false;
  if (buffer_.size() > 0) return true;  // the next request has already begun to arrive
  return !stream_.WaitReadable(Clock::now() + context_.keepAliveIdleTimeout);
}

template <class Stream>
typename RequestLoop<Stream>::Next RequestLoop<Stream>::AnswerReadFailure(const error_code& ec) {
  const int status = ReadFailureStatus(ec);
  if (status == 0) return Next::kClose;
  (void)Send(StatusReply(status), 11, false, false);
  return Next::kLingerAndClose;
}

// Sends the reply; for HEAD only its head, which still gives the length of the body.
template <class Stream>
boost::system::error_code RequestLoop<Stream>::Send(HttpResponse response, unsigned version,
                                                    bool keepAlive, bool headOnly) {
  namespace http = boost::beast::http;
  ReplyMessage reply = MakeReply(std::move(response), version, keepAlive);
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
template <class Stream>
void RequestLoop<Stream>::LingerBeforeClose() {
  error_code ec = stream_.ShutdownSend();
  stream_.SetReadDeadline(Clock::now() + kLingeringCloseTimeout);
  std::array<char, 4096> discard;
  while (!ec) (void)stream_.read_some(boost::asio::buffer(discard), ec);
}

}  // namespace kx::web::detail
