#include "service/kx_web_service.h"

#include <boost/asio/post.hpp>
#include <exception>
#include <fstream>

#include "common/atomic_file.h"
#include "common/cp1251.h"
#include "common/main_thread_gate.h"
#include "common/utf8_path.h"
#include "dispatcher/link_settings.h"
#include "service/file_cleanup.h"
#include "service/settings.h"
#include "web/router.h"

namespace kx {

TKXWEBService::TKXWEBService(boost::asio::io_context& mainLoop, ServiceOptions options)
    : mainLoop_(mainLoop), options_(std::move(options)), timerToDel_(mainLoop) {}

TKXWEBService::~TKXWEBService() {
  ServiceStop();
}

bool TKXWEBService::ServiceStart() {
  trace_.clear();
  try {
    state_ = std::make_unique<ServiceState>();
    trace_ += "1";
    state_->folder = options_.folder;
    trace_ += "2" + Utf8FromPath(state_->folder) + "2";
    LoadConfiguration();
    trace_ += "3";
    LoadVehicles(*state_);
    trace_ += "4";
    EnableTimerToDel();
    ServiceState& state = *state_;
    server_ = std::make_unique<web::HttpServer>(
        [&state](web::HttpExchange& exchange) { IdHTTPServer1CommandGet(state, exchange); },
        [&state](const std::string& sessionId) { IdHTTPServer1SessionEnd(state, sessionId); });
    web::HttpServerOptions serverOptions;
    serverOptions.port = static_cast<uint16_t>(state.settings.port);
    serverOptions.sessionTimeout = options_.sessionTimeout;
    serverOptions.maxSessions = static_cast<size_t>(state.settings.MaxSessions);
    serverOptions.maxConnections = static_cast<size_t>(state.settings.MaxConnections);
    server_->Start(serverOptions);
    trace_ += "5";
    return true;
  } catch (const std::exception& error) {
    WriteStartFailure(error.what());
    return false;
  }
}

void TKXWEBService::ServiceStop() {
  if (server_) server_->Stop();
  server_.reset();
  state_.reset();  // registries, session list, display settings and the dispatcher link
}

void TKXWEBService::LoadConfiguration() {
  LoadSettings();
  // Only this process writes Users.ini, and no request is served yet.
  RemoveLeftoverTemporaries(state_->File("Users.ini"));
  ReloadUserAccounts(*state_);
}

void TKXWEBService::LoadSettings() {
  const ServiceSettings& settings = state_->settings =
      ReadSettings(IniFile::Load(state_->File("Settings.ini")));
  if (settings.port < 1 || settings.port > 65535) {
    throw std::runtime_error("Settings.ini: port " + std::to_string(settings.port) +
                             " is not a TCP port");
  }
  // A service has nobody to ask: a refused dispatcher call raises at once.
  ConfigureLinks({settings.AutomationProgID, nullptr});
  kmlFolder_ = state_->File("kml");
  fileTimeToLive_ = settings.FileTimeToLive * options_.cleanupHour;
  delInterval_ = settings.DelInterval.count() * options_.cleanupHour;
  state_->signInGuard = SignInGuard(settings.MaxFailedSignIns, options_.signInBlock);
  TimerToDelTimer();
}

void TKXWEBService::EnableTimerToDel() {
  // The timer lives on the main thread: it is armed there and fires there.
  boost::asio::post(mainLoop_, [this] { ArmTimerToDel(); });
}

void TKXWEBService::ArmTimerToDel() {
  timerToDel_.expires_after(delInterval_);
  timerToDel_.async_wait([this](const boost::system::error_code& error) {
    if (error) return;
    TimerToDelTimer();
    ArmTimerToDel();
  });
}

// Uses only values copied at start-up, so a sweep after the stop sequence touches nothing but
// the folder. The sweep never throws: an error of a sweep is ignored, and an exception here would
// leave the main thread's event loop and end the process.
void TKXWEBService::TimerToDelTimer() {
  MainThreadSection gate;
  DeleteOldFiles(kmlFolder_, fileTimeToLive_);
}

void TKXWEBService::WriteStartFailure(const std::string& message) const {
  std::ofstream log(options_.folder / "1.log", std::ios::binary | std::ios::trunc);
  if (!log) return;
  // No stack trace is available for a C++ exception; its part stays empty.
  log << Cp1251FromUtf8(trace_ + message + "-----");
}

}  // namespace kx
