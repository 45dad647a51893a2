// Windows: the service is registered with the service control manager, which starts the
// executable, sends the control requests and shows the state the service reports.
#include <windows.h>
// shellapi.h needs windows.h ahead of it.
#include <shellapi.h>

#include <condition_variable>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <type_traits>

#include "common/executable_folder.h"
#include "common/utf8_path.h"
#include "common/wide_text.h"
#include "service/foreground_run.h"
#include "service/image_path.h"
#include "service/kx_web_service.h"
#include "service/service_host.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kServiceNameW[] = L"KXWEBService";
// A list of names, each ended by a null character, and the list by another one.
constexpr wchar_t kDependencies[] = L"Netman\0";
constexpr DWORD kPendingWaitHintMs = 5000;
// dwServiceSpecificExitCode of a start that failed (1.log tells why).
constexpr DWORD kStartFailedExitCode = 1;

// `what` followed by the system's text for the calling thread's last error.
std::string LastErrorText(const std::string& what) {
  const DWORD error = GetLastError();
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring_view reason(text, length);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) {
    reason.remove_suffix(1);
  }
  std::string message = what + ": " + Utf8FromWide(reason) + " (" + std::to_string(error) + ")";
  LocalFree(text);
  return message;
}

[[noreturn]] void ThrowLastError(const std::string& what) {
  throw std::runtime_error(LastErrorText(what));
}

struct ServiceHandleCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

// Registration needs full access to the manager; reading the service's own configuration only
// a connection, so that a console run by an ordinary user still finds the folder.
ServiceHandle OpenOwnService(DWORD managerAccess, DWORD serviceAccess, ServiceHandle& manager) {
  manager.reset(OpenSCManagerW(nullptr, nullptr, managerAccess));
  if (!manager) return nullptr;
  return ServiceHandle(OpenServiceW(manager.get(), kServiceNameW, serviceAccess));
}

ServiceHandle OpenOwnServiceOrThrow(DWORD serviceAccess, ServiceHandle& manager) {
  ServiceHandle service = OpenOwnService(SC_MANAGER_ALL_ACCESS, serviceAccess, manager);
  if (!service) ThrowLastError(std::string("cannot open the service ") + kServiceName);
  return service;
}

// ServiceAfterInstall: the description can only be set on a registered service.
void SetServiceDescription() {
  ServiceHandle manager;
  const ServiceHandle service = OpenOwnServiceOrThrow(SERVICE_CHANGE_CONFIG, manager);
  std::wstring text = WideFromUtf8(kServiceDescription);
  SERVICE_DESCRIPTIONW description{text.data()};
  if (!ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &description)) {
    ThrowLastError(std::string("cannot set the description of the service ") + kServiceName);
  }
}

// The control requests that the manager's handler receives, in order, for the service thread.
class ControlQueue {
 public:
  void Post(DWORD control) {
    {
      std::lock_guard lock(mutex_);
      controls_.push_back(control);
    }
    posted_.notify_one();
  }

  [[nodiscard]] DWORD Next() {
    std::unique_lock lock(mutex_);
    posted_.wait(lock, [this] { return !controls_.empty(); });
    const DWORD control = controls_.front();
    controls_.pop_front();
    return control;
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<DWORD> controls_;
};

// The service under the manager: the service thread (the manager's ServiceMain thread) runs the
// start sequence, the control loop and the stop sequence; the handler, on the dispatcher's
// thread, only queues requests and answers interrogations.
class ManagedService {
 public:
  explicit ManagedService(TKXWEBService& service) : service_(service) {}

  void ServiceMain() {
    statusHandle_ = RegisterServiceCtrlHandlerExW(kServiceNameW, &ManagedService::Handler, this);
    if (statusHandle_ == nullptr) {
      exitStatus_ = 1;
      return;
    }
    Report(SERVICE_START_PENDING);
    if (!service_.ServiceStart()) {
      service_.ServiceStop();
      exitStatus_ = 1;
      Report(SERVICE_STOPPED, ERROR_SERVICE_SPECIFIC_ERROR, kStartFailedExitCode);
      return;
    }
    Report(SERVICE_RUNNING);
    ServiceExecute();
    Report(SERVICE_STOP_PENDING);
    service_.ServiceStop();
    Report(SERVICE_STOPPED);
  }

  [[nodiscard]] int ExitStatus() const { return exitStatus_; }

 private:
  // Until stopped. A pause only holds this thread: the HTTP server keeps serving.
  void ServiceExecute() {
    for (;;) {
      switch (controls_.Next()) {
        case SERVICE_CONTROL_STOP:
          return;
        case SERVICE_CONTROL_PAUSE:
          Report(SERVICE_PAUSED);
          break;
        case SERVICE_CONTROL_CONTINUE:
          Report(SERVICE_RUNNING);
          break;
      }
    }
  }

  static DWORD WINAPI Handler(DWORD control, DWORD, void*, void* context) {
    auto& self = *static_cast<ManagedService*>(context);
    switch (control) {
      case SERVICE_CONTROL_STOP:
      case SERVICE_CONTROL_PAUSE:
      case SERVICE_CONTROL_CONTINUE:
        self.controls_.Post(control);
        return NO_ERROR;
      case SERVICE_CONTROL_INTERROGATE:
        self.ReportAgain();
        return NO_ERROR;
      default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
  }

  void Report(DWORD state, DWORD exitCode = NO_ERROR, DWORD serviceExitCode = 0) {
    std::lock_guard lock(statusMutex_);
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status_.dwCurrentState = state;
    status_.dwControlsAccepted = pending || state == SERVICE_STOPPED
                                     ? 0
                                     : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
    status_.dwWin32ExitCode = exitCode;
    status_.dwServiceSpecificExitCode = serviceExitCode;
    status_.dwCheckPoint = pending ? status_.dwCheckPoint + 1 : 0;
    status_.dwWaitHint = pending ? kPendingWaitHintMs : 0;
    SetServiceStatus(statusHandle_, &status_);
  }

  void ReportAgain() {
    std::lock_guard lock(statusMutex_);
    SetServiceStatus(statusHandle_, &status_);
  }

  TKXWEBService& service_;
  ControlQueue controls_;
  std::mutex statusMutex_;
  SERVICE_STATUS_HANDLE statusHandle_ = nullptr;
  SERVICE_STATUS status_{};
  int exitStatus_ = 0;
};

// The manager calls ServiceMain without a context of ours.
ManagedService* managedService = nullptr;

void WINAPI ServiceMain(DWORD, wchar_t**) {
  managedService->ServiceMain();
}

}  // namespace

fs::path GetServiceFolder() {
  ServiceHandle manager;
  const ServiceHandle service = OpenOwnService(SC_MANAGER_CONNECT, SERVICE_QUERY_CONFIG, manager);
  if (!service) return {};
  DWORD size = 0;
  QueryServiceConfigW(service.get(), nullptr, 0, &size);
  // operator new aligns for any type, so the bytes can hold the configuration record.
  std::vector<std::byte> buffer(size);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (size == 0 || !QueryServiceConfigW(service.get(), config, size, &size)) return {};
  return PathFromUtf8(FolderOfImagePath(Utf8FromWide(config->lpBinaryPathName)));
}

std::string InstallService() {
  const std::wstring command = L"\"" + ExecutablePath().wstring() + L"\"";
  {
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) ThrowLastError("cannot open the service control manager");
    const ServiceHandle service(CreateServiceW(
        manager.get(), kServiceNameW, WideFromUtf8(kServiceDisplayName).c_str(), SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(),
        nullptr, nullptr, kDependencies, nullptr, nullptr));
    if (!service) ThrowLastError(std::string("cannot install the service ") + kServiceName);
  }
  SetServiceDescription();
  return std::string("Service ") + kServiceName + " installed";
}

std::string UninstallService() {
  ServiceHandle manager;
  const ServiceHandle service = OpenOwnServiceOrThrow(DELETE, manager);
  if (!DeleteService(service.get())) {
    ThrowLastError(std::string("cannot remove the service ") + kServiceName);
  }
  return std::string("Service ") + kServiceName + " uninstalled";
}

std::vector<std::string> ProgramArguments(int, char**) {
  int count = 0;
  const std::unique_ptr<wchar_t*, decltype(&LocalFree)> arguments(
      CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
  std::vector<std::string> result;
  for (int i = 1; arguments && i < count; ++i) result.push_back(Utf8FromWide(arguments.get()[i]));
  return result;
}

void TellUser(const std::string& message, bool failed) {
  MessageBoxW(nullptr, WideFromUtf8(message).c_str(), WideFromUtf8(kServiceDisplayName).c_str(),
              MB_OK | (failed ? MB_ICONERROR : MB_ICONINFORMATION));
}

int HostService(TKXWEBService& service, std::shared_future<void> stopRequested) {
  ManagedService managed(service);
  managedService = &managed;
  std::wstring name = kServiceNameW;
  const SERVICE_TABLE_ENTRYW table[] = {{name.data(), &ServiceMain}, {nullptr, nullptr}};
  const bool dispatched = StartServiceCtrlDispatcherW(table);
  managedService = nullptr;
  if (dispatched) return managed.ExitStatus();
  // Started from a console rather than by the manager: serve in the foreground.
  if (GetLastError() == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
    return RunInForeground(service, stopRequested);
  }
  std::cerr << LastErrorText("cannot connect to the service control manager") << "\n";
  return 1;
}

}  // namespace kx
