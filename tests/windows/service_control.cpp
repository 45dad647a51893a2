// Test tool: sends control requests to a service and prints what the service control manager
// holds about it, one "key=value" line each, as UTF-8 (wine's "sc pause" sends nothing).
//   kx_service_control NAME query|pause|continue|stop|config
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

struct ServiceHandleCloser {
  void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleCloser>;

std::string Utf8(const wchar_t* wide) {
  if (wide == nullptr || *wide == L'\0') return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
  text.pop_back();  // the terminator
  return text;
}

const char* StateName(DWORD state) {
  switch (state) {
    case SERVICE_STOPPED:
      return "STOPPED";
    case SERVICE_START_PENDING:
      return "START_PENDING";
    case SERVICE_STOP_PENDING:
      return "STOP_PENDING";
    case SERVICE_RUNNING:
      return "RUNNING";
    case SERVICE_CONTINUE_PENDING:
      return "CONTINUE_PENDING";
    case SERVICE_PAUSE_PENDING:
      return "PAUSE_PENDING";
    case SERVICE_PAUSED:
      return "PAUSED";
    default:
      return "UNKNOWN";
  }
}

void PrintStatus(const SERVICE_STATUS& status) {
  std::printf("state=%s\naccepted=%lu\nexit_code=%lu\nservice_exit_code=%lu\nwait_hint=%lu\n",
              StateName(status.dwCurrentState), status.dwControlsAccepted, status.dwWin32ExitCode,
              status.dwServiceSpecificExitCode, status.dwWaitHint);
}

// Fills a buffer through a query that first tells the size it needs.
template <typename Query>
std::vector<std::byte> QueryBuffer(Query query) {
  DWORD size = 0;
  query(nullptr, 0, &size);
  std::vector<std::byte> buffer(size);
  if (size == 0 || !query(buffer.data(), size, &size)) buffer.clear();
  return buffer;
}

bool PrintConfig(SC_HANDLE service) {
  const auto config = QueryBuffer([&](std::byte* data, DWORD size, DWORD* needed) {
    return QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(data), size,
                               needed);
  });
  const auto description = QueryBuffer([&](std::byte* data, DWORD size, DWORD* needed) {
    return QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, reinterpret_cast<BYTE*>(data),
                                size, needed);
  });
  if (config.empty() || description.empty()) return false;
  const auto& c = *reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(config.data());
  std::printf("type=%lu\nstart=%lu\nerror_control=%lu\npath=%s\ndisplay_name=%s\n", c.dwServiceType,
              c.dwStartType, c.dwErrorControl, Utf8(c.lpBinaryPathName).c_str(),
              Utf8(c.lpDisplayName).c_str());
  // The dependencies are a list of names, each ended by a null character.
  for (const wchar_t* name = c.lpDependencies; name != nullptr && *name != L'\0';
       name += wcslen(name) + 1) {
    std::printf("dependency=%s\n", Utf8(name).c_str());
  }
  const auto& d = *reinterpret_cast<const SERVICE_DESCRIPTIONW*>(description.data());
  std::printf("description=%s\n", Utf8(d.lpDescription).c_str());
  return true;
}

int Fail(const char* what) {
  std::fprintf(stderr, "%s failed: error %lu\n", what, GetLastError());
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kx_service_control NAME query|pause|continue|stop|config\n");
    return 2;
  }
  const std::wstring command = argv[2];
  const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return Fail("OpenSCManager");
  const ServiceHandle service(OpenServiceW(
      manager.get(), argv[1],
      SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG | SERVICE_STOP | SERVICE_PAUSE_CONTINUE));
  if (!service) return Fail("OpenService");
  if (command == L"config") return PrintConfig(service.get()) ? 0 : Fail("QueryServiceConfig");
  SERVICE_STATUS status{};
  if (command == L"query") {
    if (!QueryServiceStatus(service.get(), &status)) return Fail("QueryServiceStatus");
  } else {
    const DWORD control = command == L"pause"      ? SERVICE_CONTROL_PAUSE
                          : command == L"continue" ? SERVICE_CONTROL_CONTINUE
                          : command == L"stop"     ? SERVICE_CONTROL_STOP
                                                   : 0;
    if (control == 0) return Fail("unknown command");
    if (!ControlService(service.get(), control, &status)) return Fail("ControlService");
  }
  PrintStatus(status);
  return 0;
}
