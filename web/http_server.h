// The HTTP/1.1 server: one listener thread per binding (IPv4 and IPv6), one thread per client
// connection, keep-alive, a session sweep thread, and the limits of http_limits.h.
//
// Every request with method GET, POST or HEAD goes to the request handler; HEAD receives the head
// of the GET reply (with its Content-Length) and no body. Other methods get 501 with an empty
// body. An exception escaping the handler gives status 500 with the exception's message as the
// body, each absolute path in it cut to its last name. Every reply carries "Cache-control:
// no-cache" and a Content-Length.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "web/body_file.h"
#include "web/http_limits.h"
#include "web/session_store.h"

namespace kx::web {

struct HttpRequest {
  std::string method;         // "GET", "POST" or "HEAD"
  std::string path;           // the target's path, percent-decoded, without the query string
  std::string query;          // the raw text after the first "?", not decoded
  std::string formData;       // the raw body when the content type is exactly
                              // "application/x-www-form-urlencoded" (letter case ignored)
  std::string host;           // the Host header
  std::string origin;         // the Origin header
  std::string fetchSite;      // the Sec-Fetch-Site header
  std::string clientAddress;  // the peer's IP address as text
  std::string sessionId;      // the live session the cookie names for this client, else empty
};

struct HttpResponse {
  int status = 200;
  std::string contentType;  // empty: no Content-Type header
  std::string body;
  std::unique_ptr<BodyFile> file;  // when set, sent as the body instead of `body`
  std::string setCookie;           // a Set-Cookie value to send, or empty
};

// One request as the handler sees it, with the operations on the server's sessions.
class HttpExchange {
 public:
  HttpExchange(HttpRequest& request, HttpResponse& response, SessionStore& sessions)
      : request(request), response(response), sessions_(sessions) {}

  // Creates a session bound to the client, makes it the request's session and puts its cookie
  // (IDHTTPSESSIONID=<id>; path=/; HttpOnly; SameSite=Lax) into the reply: page scripts cannot
  // read it, and browsers send it from other sites only with top-level GET navigations. Returns
  // the new id. A guest session is among the first to end when the server has too many sessions.
  std::string StartSession(SessionKind kind = SessionKind::kSignedIn);
  // Ends a session; the store's end callback runs for it. When it is the request's session, the
  // request has none afterwards.
  void EndSession(const std::string& sessionId);

  HttpRequest& request;
  HttpResponse& response;

 private:
  SessionStore& sessions_;
};

using RequestHandler = std::function<void(HttpExchange&)>;

// The time-outs are those of http_limits.h; tests shorten them.
struct HttpServerOptions {
  uint16_t port = 80;  // 0: a free port chosen by the system (see HttpServer::Port)
  std::chrono::milliseconds sessionTimeout = kSessionTimeout;
  std::chrono::milliseconds requestReadTimeout = kRequestReadTimeout;
  std::chrono::milliseconds keepAliveIdleTimeout = kKeepAliveIdleTimeout;
  std::chrono::milliseconds writeStallTimeout = kWriteStallTimeout;
  size_t maxSessions = kMaxSessions;
  size_t maxConnections = kMaxConnections;
};

class HttpServer {
 public:
  HttpServer(RequestHandler handler, SessionStore::EndCallback onSessionEnd);
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;
  ~HttpServer();  // stops the server

  // Binds every local address on the port (IPv4 0.0.0.0, and IPv6 :: with IPV6_V6ONLY where the
  // system has IPv6), then starts the listener threads and the session sweep. Throws
  // std::system_error when the port cannot be bound; nothing is left running then.
  void Start(const HttpServerOptions& options);

  // Closes the listeners, shuts every client connection down and joins every thread (listeners,
  // connections, sweep). Sessions end (their callbacks run) before it returns. Idempotent.
  void Stop();

  [[nodiscard]] bool Active() const;
  // The port listened on while active; the chosen one when the options asked for port 0.
  [[nodiscard]] uint16_t Port() const;
  [[nodiscard]] SessionStore& Sessions();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kx::web
