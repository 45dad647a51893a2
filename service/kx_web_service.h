// The service object: its start sequence loads settings, accounts and vehicles before the HTTP
// listener opens; its stop sequence closes the listener and joins every connection thread before
// the shared state is destroyed.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "registry/service_state.h"
#include "web/http_server.h"

namespace kx {

inline constexpr char kServiceName[] = "KXWEBService";
inline constexpr char kServiceDisplayName[] = "WEB-сервер Velorin";
inline constexpr char kServiceDescription[] =
    "Обеспечивает получение данных системы «Velorin» через WEB-интерфейс";

struct ServiceOptions {
  std::filesystem::path folder;  // the service folder
  std::chrono::milliseconds sessionTimeout;
  std::chrono::milliseconds signInBlock = kSignInBlockTime;
  // The unit of DelInterval and FileTimeToLive.
  std::chrono::milliseconds cleanupHour = std::chrono::hours(1);
};

class TKXWEBService {
 public:
  // `mainLoop` is the main thread's event loop, on which the clean-up timer fires.
  TKXWEBService(boost::asio::io_context& mainLoop, ServiceOptions options);
  ~TKXWEBService();
  TKXWEBService(const TKXWEBService&) = delete;
  TKXWEBService& operator=(const TKXWEBService&) = delete;

  // Runs the start sequence. On failure writes 1.log (trace, message, "-----", stack text) and
  // returns false; what was built stays in place for ServiceStop.
  [[nodiscard]] bool ServiceStart();
  // Runs the stop sequence: listener closed and connection threads joined, then the state
  // destroyed and the dispatcher link released.
  void ServiceStop();

  // The markers the start sequence reached: "12<folder>2345" after a full start.
  [[nodiscard]] const std::string& StartTrace() const { return trace_; }

 private:
  void LoadConfiguration();
  void LoadSettings();
  void EnableTimerToDel();
  void ArmTimerToDel();
  void TimerToDelTimer();
  void WriteStartFailure(const std::string& message) const;

  boost::asio::io_context& mainLoop_;
  ServiceOptions options_;
  std::string trace_;
  std::unique_ptr<ServiceState> state_;
  std::unique_ptr<web::HttpServer> server_;
  // The clean-up timer and what its sweep needs, copied from the settings at start-up.
  boost::asio::steady_timer timerToDel_;
  std::filesystem::path kmlFolder_;
  std::chrono::milliseconds fileTimeToLive_{std::chrono::hours(1)};
  std::chrono::milliseconds delInterval_{std::chrono::hours(1)};
};

}  // namespace kx
