#include "web/http_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/asio/buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace kx::web {
namespace {

using namespace std::chrono_literals;
namespace http = boost::beast::http;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Reply {
  std::string head;  // status line and headers as sent
  http::response<http::string_body> message;
  [[nodiscard]] int Status() const { return static_cast<int>(message.result_int()); }
  [[nodiscard]] const std::string& Body() const { return message.body(); }
};

// A plain blocking client on a loopback address; every receive gives up after a few seconds so a
// server fault fails the test instead of hanging it.
class Client {
 public:
  Client(const std::string& address, uint16_t port) {
    const bool v6 = address.find(':') != std::string::npos;
    fd_ = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "socket");
    const timeval timeout{5, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    int rc;
    if (v6) {
      sockaddr_in6 to{};
      to.sin6_family = AF_INET6;
      to.sin6_port = htons(port);
      ::inet_pton(AF_INET6, address.c_str(), &to.sin6_addr);
      rc = ::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to);
    } else {
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_port = htons(port);
      ::inet_pton(AF_INET, address.c_str(), &to.sin_addr);
      rc = ::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    if (rc != 0) throw std::system_error(errno, std::generic_category(), "connect");
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  ~Client() { ::close(fd_); }

  void Send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent < 0) throw std::system_error(errno, std::generic_category(), "send");
      bytes.remove_prefix(static_cast<size_t>(sent));
    }
  }

  // Reads one reply; `toHead` says it answers a HEAD request (a head without a body).
  Reply Read(bool toHead = false) {
    http::response_parser<http::string_body> parser;
    parser.eager(true);
    parser.skip(toHead);
    parser.body_limit(boost::none);
    Reply reply;
    while (!parser.is_done()) {
      if (pending_.empty()) Receive();
      boost::system::error_code ec;
      const size_t used = parser.put(boost::asio::buffer(pending_), ec);
      if (ec && ec != http::error::need_more)
        throw std::runtime_error("bad reply: " + ec.message());
      if (reply.head.empty() && parser.is_header_done()) {
        reply.head = pending_.substr(0, pending_.find("\r\n\r\n") + 4);
      }
      pending_.erase(0, used);
      if (ec == http::error::need_more) Receive();
    }
    reply.message = parser.release();
    return reply;
  }

  // Request and reply on this connection.
  Reply Exchange(std::string_view request, bool toHead = false) {
    Send(request);
    return Read(toHead);
  }

  // True when the server has closed the connection (end of stream or reset) with nothing more
  // to read; false when data arrives or nothing happens within the receive time-out.
  bool ClosedByServer() {
    if (!pending_.empty()) return false;
    char byte;
    const ssize_t got = ::recv(fd_, &byte, 1, 0);
    return got == 0 || (got < 0 && errno == ECONNRESET);
  }

  // Everything until the server closes; a reset ends it too.
  std::string ReadToEnd() {
    std::string all = std::move(pending_);
    char buffer[65536];
    for (;;) {
      const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
      if (got <= 0) return all;
      all.append(buffer, static_cast<size_t>(got));
    }
  }

 private:
  void Receive() {
    char buffer[65536];
    const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got == 0) throw std::runtime_error("connection closed");
    if (got < 0) throw std::system_error(errno, std::generic_category(), "recv");
    pending_.append(buffer, static_cast<size_t>(got));
  }

  int fd_;
  std::string pending_;
};

[[nodiscard]] bool HasIpv6Loopback() {
  const int fd = ::socket(AF_INET6, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in6 any{};
  any.sin6_family = AF_INET6;
  any.sin6_addr = in6addr_loopback;
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
  ::close(fd);
  return bound;
}

std::string Get(const std::string& target, const std::string& extraHeaders = "") {
  return "GET " + target + " HTTP/1.1\r\nHost: test\r\n" + extraHeaders + "\r\n";
}

std::string Post(const std::string& target, const std::string& contentType,
                 const std::string& body) {
  return "POST " + target + " HTTP/1.1\r\nHost: test\r\nContent-Type: " + contentType +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Replies with what the handler was given, one field a line.
void Echo(HttpExchange& exchange) {
  const HttpRequest& r = exchange.request;
  exchange.response.body = "method=" + r.method + "\npath=" + r.path + "\nquery=" + r.query +
                           "\nform=" + r.formData + "\nhost=" + r.host +
                           "\nclient=" + r.clientAddress + "\nsession=" + r.sessionId;
}

class HttpServerTest : public ::testing::Test {
 protected:
  void TearDown() override { server_.Stop(); }

  // Port 0 and short time-outs, so that the time-out tests are quick.
  static HttpServerOptions QuickOptions() {
    HttpServerOptions options;
    options.port = 0;
    options.requestReadTimeout = 2s;
    options.keepAliveIdleTimeout = 2s;
    options.writeStallTimeout = 2s;
    return options;
  }

  void Start(const HttpServerOptions& options = QuickOptions()) {
    server_.Start(options);
    port_ = server_.Port();
    ASSERT_NE(port_, 0);
  }

  std::vector<std::string> EndedSessions() {
    std::lock_guard lock(mutex_);
    return ended_;
  }

  RequestHandler handler_ = Echo;  // set before Start
  std::mutex mutex_;
  std::vector<std::string> ended_;
  HttpServer server_{[this](HttpExchange& exchange) { handler_(exchange); },
                     [this](const std::string& id) {
                       std::lock_guard lock(mutex_);
                       ended_.push_back(id);
                     }};
  uint16_t port_ = 0;
};

TEST_F(HttpServerTest, KeepAliveCarriesSeveralRequestsWithTheirParts) {
  Start();
  Client client("127.0.0.1", port_);
  const Reply first = client.Exchange(Get("/kxserver/m%61in%20x?DevNum=1&n=%41"));
  EXPECT_EQ(first.Status(), 200);
  EXPECT_EQ(first.Body(),
            "method=GET\npath=/kxserver/main x\nquery=DevNum=1&n=%41\nform=\nhost=test\n"
            "client=127.0.0.1\nsession=");

  const Reply form = client.Exchange(
      Post("/kxserver/main", "Application/X-WWW-Form-URLEncoded", "kx_login=guest&password=%20"));
  EXPECT_NE(form.Body().find("method=POST\n"), std::string::npos);
  EXPECT_NE(form.Body().find("\nform=kx_login=guest&password=%20\n"), std::string::npos);

  const Reply other = client.Exchange(Post("/kxserver/main", "text/plain", "kx_login=guest"));
  EXPECT_NE(other.Body().find("\nform=\n"), std::string::npos);
  const Reply charset = client.Exchange(
      Post("/kxserver/main", "application/x-www-form-urlencoded; charset=UTF-8", "a=b"));
  EXPECT_NE(charset.Body().find("\nform=\n"), std::string::npos);

  // A pipelined pair in one send.
  client.Send(Get("/one") + Get("/two"));
  EXPECT_NE(client.Read().Body().find("path=/one\n"), std::string::npos);
  EXPECT_NE(client.Read().Body().find("path=/two\n"), std::string::npos);
}

TEST_F(HttpServerTest, EveryReplyHasNoCacheAndALengthAndTheTypeOnlyWhenSet) {
  handler_ = [](HttpExchange& exchange) {
    if (exchange.request.path == "/text") exchange.response.contentType = "text/plain";
    if (exchange.request.path == "/status") exchange.response.status = 401;
    exchange.response.body = "abc";
  };
  Start();
  Client client("127.0.0.1", port_);
  for (const char* target : {"/text", "/page", "/status"}) {
    const Reply reply = client.Exchange(Get(target));
    EXPECT_NE(reply.head.find("\r\nCache-control: no-cache\r\n"), std::string::npos) << reply.head;
    EXPECT_NE(reply.head.find("\r\nContent-Length: 3\r\n"), std::string::npos) << reply.head;
    EXPECT_EQ(reply.head.find("Content-Type") != std::string::npos, target == std::string("/text"))
        << reply.head;
    EXPECT_EQ(reply.head.find("Set-Cookie"), std::string::npos);
  }
  EXPECT_EQ(client.Exchange(Get("/status")).Status(), 401);
  EXPECT_EQ(client.Exchange(Get("/text")).message[http::field::content_type], "text/plain");

  const Reply unsupported = client.Exchange("DELETE /x HTTP/1.1\r\nHost: t\r\n\r\n");
  EXPECT_NE(unsupported.head.find("\r\nCache-control: no-cache\r\n"), std::string::npos);
}

TEST_F(HttpServerTest, HeadGetsTheHeadOfGetAndNoBody) {
  handler_ = [](HttpExchange& exchange) {
    exchange.response.body = std::string(1234, 'x');
    exchange.response.contentType = exchange.request.method;  // shows what the handler saw
  };
  Start();
  Client client("127.0.0.1", port_);
  const Reply head = client.Exchange("HEAD /page HTTP/1.1\r\nHost: t\r\n\r\n", true);
  EXPECT_EQ(head.Status(), 200);
  EXPECT_NE(head.head.find("\r\nContent-Length: 1234\r\n"), std::string::npos);
  EXPECT_EQ(head.message[http::field::content_type], "HEAD");
  // Had a body been sent, this reply would be read from its bytes.
  const Reply get = client.Exchange(Get("/page"));
  EXPECT_EQ(get.Body(), std::string(1234, 'x'));
  EXPECT_EQ(get.message[http::field::content_type], "GET");
}

TEST_F(HttpServerTest, OtherMethodsGet501WithoutReachingTheHandler) {
  std::atomic<int> calls{0};
  handler_ = [&](HttpExchange& exchange) {
    ++calls;
    exchange.response.body = "page";
  };
  Start();
  Client client("127.0.0.1", port_);
  for (const char* method : {"PUT", "DELETE", "OPTIONS", "PATCH", "BREW"}) {
    const Reply reply = client.Exchange(std::string(method) +
                                        " /kxserver/main HTTP/1.1\r\nHost: t\r\nContent-Length: "
                                        "4\r\n\r\nbody");
    EXPECT_EQ(reply.Status(), 501) << method;
    EXPECT_EQ(reply.Body(), "");
  }
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(client.Exchange(Get("/x")).Body(), "page");  // still the same connection
}

TEST_F(HttpServerTest, HandlerExceptionsBecome500WithTheirMessage) {
  handler_ = [](HttpExchange& exchange) {
    exchange.response.body = "half-built page";
    if (exchange.request.path == "/status") {
      exchange.response.status = 1000;
      return;
    }
    throw std::runtime_error("Ошибка: no dispatcher");
  };
  Start();
  Client client("127.0.0.1", port_);
  const Reply reply = client.Exchange(Get("/x"));
  EXPECT_EQ(reply.Status(), 500);
  EXPECT_EQ(reply.Body(), "Ошибка: no dispatcher");
  EXPECT_NE(reply.head.find("\r\nCache-control: no-cache\r\n"), std::string::npos);
  EXPECT_EQ(client.Exchange(Get("/status")).Status(), 500);
}

TEST_F(HttpServerTest, OversizedHeadersGet431AndTheConnectionCloses) {
  Start();
  {
    Client client("127.0.0.1", port_);
    const std::string cookie = "Cookie: c=" + std::string(kMaxHeaderBytes - 200, 'a') + "\r\n";
    EXPECT_EQ(client.Exchange(Get("/x", cookie)).Status(), 200);  // near the limit: fine
  }
  Client client("127.0.0.1", port_);
  const std::string cookie = "Cookie: c=" + std::string(kMaxHeaderBytes, 'a') + "\r\n";
  const Reply reply = client.Exchange(Get("/x", cookie));
  EXPECT_EQ(reply.Status(), 431);
  EXPECT_NE(reply.head.find("\r\nCache-control: no-cache\r\n"), std::string::npos);
  EXPECT_TRUE(client.ClosedByServer());

  Client longLine("127.0.0.1", port_);
  EXPECT_EQ(longLine.Exchange(Get("/" + std::string(kMaxHeaderBytes + 10, 'p'))).Status(), 431);
}

TEST_F(HttpServerTest, OversizedBodiesGet413AndTheConnectionCloses) {
  Start();
  {
    Client client("127.0.0.1", port_);
    const std::string body(kMaxBodyBytes, 'b');
    EXPECT_EQ(client.Exchange(Post("/x", "text/plain", body)).Status(), 200);
  }
  {
    Client client("127.0.0.1", port_);
    const Reply reply =
        client.Exchange(Post("/x", "text/plain", std::string(kMaxBodyBytes + 1, 'b')));
    EXPECT_EQ(reply.Status(), 413);
    EXPECT_TRUE(client.ClosedByServer());
  }
  Client chunked("127.0.0.1", port_);
  std::string request = "POST /x HTTP/1.1\r\nHost: t\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string piece(16 * 1024, 'c');
  for (size_t sent = 0; sent <= kMaxBodyBytes; sent += piece.size()) {
    request += "4000\r\n" + piece + "\r\n";
  }
  request += "0\r\n\r\n";
  EXPECT_EQ(chunked.Exchange(request).Status(), 413);
  EXPECT_TRUE(chunked.ClosedByServer());
}

TEST_F(HttpServerTest, MalformedRequestsGet400AndTheConnectionCloses) {
  Start();
  for (const char* bad :
       {"GARBAGE\r\n\r\n", "GET /x HTTP/9.9\r\n\r\n", "GET /x HTTP/1.1\r\nNo colon here\r\n\r\n",
        "POST /x HTTP/1.1\r\nContent-Length: abc\r\n\r\n",
        "GET /x HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n"}) {
    Client client("127.0.0.1", port_);
    const Reply reply = client.Exchange(bad);
    EXPECT_EQ(reply.Status(), 400) << bad;
    EXPECT_TRUE(client.ClosedByServer()) << bad;
  }
}

TEST_F(HttpServerTest, RequestsSplitAtEveryByteStillParse) {
  Start();
  Client client("127.0.0.1", port_);
  for (const std::string& request :
       {Get("/kxserver/car?DevNum=5", "Cookie: a=b\r\n"),
        Post("/kxserver/main", "application/x-www-form-urlencoded", "kx_login=x&password=y")}) {
    const std::string expected = client.Exchange(request).Body();
    for (size_t split = 1; split < request.size(); ++split) {
      client.Send(request.substr(0, split));
      std::this_thread::sleep_for(200us);
      ASSERT_EQ(client.Exchange(request.substr(split)).Body(), expected) << split;
    }
  }
  // And one byte at a time.
  const std::string request = Post("/p", "application/x-www-form-urlencoded", "a=1&b=2");
  for (const char byte : request) client.Send(std::string(1, byte));
  EXPECT_NE(client.Read().Body().find("\nform=a=1&b=2\n"), std::string::npos);
}

TEST_F(HttpServerTest, FileBodiesAreStreamedWhole) {
  const fs::path path = fs::temp_directory_path() / ("kx-http-file-" + std::to_string(::getpid()));
  std::string content;
  for (int i = 0; content.size() < 5 * 1024 * 1024 + 17; ++i) content += std::to_string(i * 7919LL);
  std::ofstream(path, std::ios::binary) << content;
  handler_ = [&path](HttpExchange& exchange) { exchange.response.file = BodyFile::Open(path); };
  Start();
  Client client("127.0.0.1", port_);
  const Reply head = client.Exchange("HEAD /f HTTP/1.1\r\nHost: t\r\n\r\n", true);
  EXPECT_NE(head.head.find("\r\nContent-Length: " + std::to_string(content.size()) + "\r\n"),
            std::string::npos);
  const Reply reply = client.Exchange(Get("/f"));
  EXPECT_TRUE(reply.Body() == content);
  EXPECT_EQ(client.Exchange(Get("/f")).Body().size(), content.size());
  fs::remove(path);
}

TEST_F(HttpServerTest, SessionsAreBoundToTheClientAddress) {
  if (!HasIpv6Loopback()) GTEST_SKIP() << "no IPv6 loopback";
  handler_ = [](HttpExchange& exchange) {
    if (exchange.request.path == "/signin") (void)exchange.StartSession();
    if (exchange.request.path == "/signout") exchange.EndSession(exchange.request.sessionId);
    Echo(exchange);
  };
  Start();
  Client v4("127.0.0.1", port_);
  const Reply signIn = v4.Exchange(Get("/signin"));
  const std::string cookie(signIn.message[http::field::set_cookie]);
  const std::string attributes = "; path=/; HttpOnly; SameSite=Lax";
  ASSERT_EQ(cookie.size(),
            std::string("IDHTTPSESSIONID=").size() + kSessionIdLength + attributes.size());
  ASSERT_EQ(cookie.rfind("IDHTTPSESSIONID=", 0), 0u);
  ASSERT_EQ(cookie.substr(cookie.size() - attributes.size()), attributes);
  const std::string id = cookie.substr(16, kSessionIdLength);
  EXPECT_NE(signIn.Body().find("\nsession=" + id), std::string::npos);

  const std::string header = "Cookie: other=1; IDHTTPSESSIONID=" + id + "\r\n";
  EXPECT_NE(v4.Exchange(Get("/page", header)).Body().find("\nsession=" + id), std::string::npos);

  Client v6("::1", port_);
  const Reply elsewhere = v6.Exchange(Get("/page", header));
  EXPECT_NE(elsewhere.Body().find("\nclient=::1\nsession="), std::string::npos);
  EXPECT_EQ(elsewhere.Body().back(), '=');

  EXPECT_EQ(v4.Exchange(Get("/signout", header)).Body().back(), '=');
  EXPECT_EQ(EndedSessions(), std::vector<std::string>{id});
  EXPECT_EQ(v4.Exchange(Get("/page", header)).Body().back(), '=');

  (void)v4.Exchange(Get("/signin"));
  (void)v6.Exchange(Get("/signin"));
  EXPECT_EQ(server_.Sessions().Count(), 2u);
  server_.Stop();  // ends every session
  EXPECT_EQ(EndedSessions().size(), 3u);
  EXPECT_EQ(server_.Sessions().Count(), 0u);
}

TEST_F(HttpServerTest, SlowAndSilentClientsAreDisconnected) {
  HttpServerOptions options = QuickOptions();
  options.requestReadTimeout = 300ms;
  options.keepAliveIdleTimeout = 200ms;
  Start(options);

  Client silent("127.0.0.1", port_);
  Client partial("127.0.0.1", port_);
  partial.Send("GET /x HTTP/1.1\r\nHo");
  Client idle("127.0.0.1", port_);
  EXPECT_EQ(idle.Exchange(Get("/x")).Status(), 200);
  const auto start = Clock::now();
  EXPECT_TRUE(silent.ClosedByServer());
  EXPECT_TRUE(partial.ClosedByServer());
  EXPECT_TRUE(idle.ClosedByServer());
  EXPECT_LT(Clock::now() - start, 2s);

  // A client that trickles bytes in, each well within the idle time, still has to finish the
  // request within the read time-out.
  Client trickle("127.0.0.1", port_);
  const auto trickleStart = Clock::now();
  bool cut = false;
  for (const char byte : Get("/x", "X-Padding: " + std::string(100, 'p') + "\r\n")) {
    try {
      trickle.Send(std::string(1, byte));
    } catch (const std::system_error&) {
      cut = true;
      break;
    }
    std::this_thread::sleep_for(20ms);
    if (Clock::now() - trickleStart > 1s) break;
  }
  EXPECT_TRUE(cut || trickle.ClosedByServer());
  EXPECT_LT(Clock::now() - trickleStart, 2s);
}

TEST_F(HttpServerTest, AClientThatStopsReadingIsDropped) {
  const std::string big(32 * 1024 * 1024, 'z');  // more than both socket buffers hold
  handler_ = [&big](HttpExchange& exchange) { exchange.response.body = big; };
  HttpServerOptions options = QuickOptions();
  options.writeStallTimeout = 200ms;
  Start(options);
  Client client("127.0.0.1", port_);
  client.Send(Get("/big"));
  std::this_thread::sleep_for(700ms);
  const std::string received = client.ReadToEnd();
  EXPECT_LT(received.size(), big.size());
}

TEST_F(HttpServerTest, StopReturnsPromptlyWithOpenConnections) {
  HttpServerOptions options = QuickOptions();
  options.keepAliveIdleTimeout = 60s;
  options.requestReadTimeout = 60s;
  Start(options);
  std::vector<std::unique_ptr<Client>> clients;
  for (int i = 0; i < 8; ++i) {
    clients.push_back(std::make_unique<Client>("127.0.0.1", port_));
    if (i % 2 == 0) {
      EXPECT_EQ(clients.back()->Exchange(Get("/x")).Status(), 200);
    }
  }
  clients.back()->Send("GET /half");
  std::this_thread::sleep_for(50ms);  // let every connection reach its thread
  const auto start = Clock::now();
  server_.Stop();
  EXPECT_LT(Clock::now() - start, 500ms);
  EXPECT_FALSE(server_.Active());
  for (auto& client : clients) EXPECT_TRUE(client->ClosedByServer());
  server_.Stop();  // idempotent
}

TEST_F(HttpServerTest, ABusyPortFailsStartAndAStoppedServerCanRestartOnIt) {
  Start();
  {
    Client client("127.0.0.1", port_);  // leaves a connection in TIME_WAIT after the stop
    EXPECT_EQ(client.Exchange(Get("/x")).Status(), 200);
  }
  HttpServer second([](HttpExchange&) {}, nullptr);
  HttpServerOptions options = QuickOptions();
  options.port = port_;
  try {
    second.Start(options);
    ADD_FAILURE() << "started on a busy port";
  } catch (const std::system_error& e) {
    EXPECT_EQ(e.code(), std::errc::address_in_use) << e.what();
  }
  EXPECT_FALSE(second.Active());
  EXPECT_THROW(server_.Start(options), std::logic_error);

  server_.Stop();
  server_.Start(options);
  EXPECT_EQ(server_.Port(), options.port);
  Client client("127.0.0.1", options.port);
  EXPECT_EQ(client.Exchange(Get("/x")).Status(), 200);
}

TEST_F(HttpServerTest, Http10ClosesUnlessAskedToKeepAlive) {
  Start();
  Client plain("127.0.0.1", port_);
  const Reply reply = plain.Exchange("GET /x HTTP/1.0\r\n\r\n");
  EXPECT_EQ(reply.message.version(), 10);
  EXPECT_TRUE(plain.ClosedByServer());

  Client kept("127.0.0.1", port_);
  EXPECT_EQ(kept.Exchange("GET /x HTTP/1.0\r\nConnection: keep-alive\r\n\r\n").Status(), 200);
  EXPECT_EQ(kept.Exchange(Get("/y", "Connection: close\r\n")).Status(), 200);
  EXPECT_TRUE(kept.ClosedByServer());
}

}  // namespace
}  // namespace kx::web
