#include "web/detail/request_loop.h"

#include <boost/beast/http/error.hpp>
#include <exception>
#include <stdexcept>
#include <string_view>

#include "web/detail/error_text.h"
#include "web/detail/request_text.h"

namespace kx::web::detail {
namespace {

namespace http = boost::beast::http;

[[nodiscard]] std::string_view View(boost::beast::string_view text) {
  return {text.data(), text.size()};
}

[[nodiscard]] bool IsServedMethod(http::verb method) {
  return method == http::verb::get || method == http::verb::post || method == http::verb::head;
}

[[nodiscard]] std::string FindSession(const RequestMessage& message,
                                      const std::string& clientAddress, SessionStore& sessions) {
  const auto [first, last] = message.equal_range(http::field::cookie);
  for (auto field = first; field != last; ++field) {
    const std::string_view id = FindCookie(View(field->value()), kSessionCookieName);
    if (!id.empty()) return sessions.Find(id, clientAddress);
  }
  return {};
}

[[nodiscard]] HttpRequest ToHttpRequest(RequestMessage& message, const std::string& clientAddress,
                                        SessionStore& sessions) {
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
  request.clientAddress = clientAddress;
  request.sessionId = FindSession(message, clientAddress, sessions);
  return request;
}

[[nodiscard]] HttpResponse Dispatch(HttpRequest& request, const ConnectionContext& context) {
  HttpResponse response;
  try {
    HttpExchange exchange(request, response, context.sessions);
    context.handler(exchange);
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

}  // namespace

int ReadFailureStatus(const boost::system::error_code& ec) {
  if (ec == http::error::header_limit) return 431;
  if (ec == http::error::body_limit) return 413;
  if (ec.category() != http::make_error_code(http::error::bad_method).category()) return 0;
  if (ec == http::error::end_of_stream || ec == http::error::partial_message) return 0;
  return 400;
}

HttpResponse StatusReply(int status, std::string body) {
  HttpResponse response;
  response.status = status;
  response.body = std::move(body);
  return response;
}

HttpResponse Answer(RequestMessage& message, const std::string& clientAddress,
                    const ConnectionContext& context) {
  if (!IsServedMethod(message.method())) return StatusReply(501);
  HttpRequest request = ToHttpRequest(message, clientAddress, context.sessions);
  return Dispatch(request, context);
}

ReplyMessage MakeReply(HttpResponse response, unsigned version, bool keepAlive) {
  ReplyMessage reply;
  reply.version(version);
  reply.result(static_cast<unsigned>(response.status));
  reply.set("Cache-control", "no-cache");
  if (!response.contentType.empty()) reply.set(http::field::content_type, response.contentType);
  if (!response.setCookie.empty()) reply.set(http::field::set_cookie, response.setCookie);
  reply.keep_alive(keepAlive);
  reply.body().text = std::move(response.body);
  reply.body().file = std::move(response.file);
  reply.content_length(reply.body().Size());
  return reply;
}

}  // namespace kx::web::detail
