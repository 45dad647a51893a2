// KXWebServer: runs the service (under the system's service manager, or in the foreground until
// SIGTERM or SIGINT), or registers it.
#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <csignal>
#include <future>
#include <iostream>
#include <thread>

#include "service/command_line.h"
#include "service/kx_web_service.h"
#include "service/service_host.h"
#include "web/http_limits.h"

namespace {

int RegisterService(const kx::CommandLine& line) {
  try {
    const std::string message =
        line.action == kx::ServiceAction::Install ? kx::InstallService() : kx::UninstallService();
    if (!line.silent) kx::TellUser(message, false);
    return 0;
  } catch (const std::exception& error) {
    if (!line.silent) kx::TellUser(error.what(), true);
    return 1;
  }
}

// The main thread runs the event loop (the clean-up timer, the stop signal); the service thread
// runs the start sequence, waits for the stop request and runs the stop sequence, and ends the
// loop when it is done.
int RunService(const kx::CommandLine& line) {
  boost::asio::io_context mainLoop;
  auto keepRunning = boost::asio::make_work_guard(mainLoop);
  std::promise<void> stopRequested;
  boost::asio::signal_set signals(mainLoop, SIGTERM, SIGINT);
  signals.async_wait([&](const boost::system::error_code& error, int) {
    if (!error) stopRequested.set_value();
  });

  kx::TKXWEBService service(mainLoop, {line.folder.value_or(kx::GetServiceFolder()),
                                       line.sessionTimeout.value_or(kx::web::kSessionTimeout),
                                       line.signInBlock.value_or(kx::kSignInBlockTime),
                                       line.cleanupHour.value_or(std::chrono::hours(1))});
  int status = 0;
  std::thread serviceThread([&, stopped = stopRequested.get_future().share()] {
    status = kx::HostService(service, stopped);
    keepRunning.reset();
    mainLoop.stop();
  });
  mainLoop.run();
  serviceThread.join();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  kx::CommandLine line;
  try {
    line = kx::ParseCommandLine(kx::ProgramArguments(argc, argv));
  } catch (const std::invalid_argument& error) {
    std::cerr << error.what() << "\n";
    return 2;
  }
  if (line.action != kx::ServiceAction::Run) return RegisterService(line);
  return RunService(line);
}
