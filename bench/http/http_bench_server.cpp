// Answers every request with status 401 and the bytes of one file (a page the size of the
// sign-in page), as the service answers a browser that is not signed in. Prints the port it
// listens on, then serves until SIGINT or SIGTERM.
//
//   http_bench_server BODY_FILE [PORT]      (PORT 0 or absent: a free port)

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "web/http_server.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: http_bench_server BODY_FILE [PORT]\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string body = bytes.str();

  kx::web::HttpServer server(
      [&body](kx::web::HttpExchange& exchange) {
        exchange.response.status = 401;
        exchange.response.body = body;
      },
      nullptr);
  kx::web::HttpServerOptions options;
  options.port = static_cast<uint16_t>(argc > 2 ? std::atoi(argv[2]) : 0);
  server.Start(options);
  std::cout << server.Port() << std::endl;

  boost::asio::io_context io;
  boost::asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([](const boost::system::error_code&, int) {});
  io.run();
  server.Stop();
  return 0;
}
