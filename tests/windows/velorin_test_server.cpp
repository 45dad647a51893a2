// VelorinTestServer: an out-of-process COM automation server of the dispatcher's class for the
// Windows tests. It serves the automation stand-in's data folder (fleet.ini, tracks/) through
// IDispatch.
//
//   VelorinTestServer /RegServer --data=FOLDER [--progid=NAME]
//       registers the server for the whole machine (HKLM\Software\Classes, so that a service
//       started by the service manager finds it too) under the ProgID (default
//       Velorin.VelorinAutomation), with the data folder kept in the class's key as DataFolder.
//   VelorinTestServer /UnregServer     removes that registration.
//   VelorinTestServer /Quit            ends the running server.
//   VelorinTestServer -Embedding       how COM starts it; it then serves until asked to quit.
//
// Registering and unregistering end a running server first, so the next link starts one with the
// new registration. A data folder that cannot be served makes the server refuse every instance
// (the link's CoCreateInstance fails) and stay out of the running object table.
#include <ole2.h>
#include <shellapi.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "dispatcher/com_support_win32.h"
#include "dispatcher/link_settings.h"
#include "tests/windows/standin_dispatch.h"

namespace kx {
namespace {

// The test server's class.
constexpr CLSID kServerClass = {
    0x6c1f3b52, 0x0e0a, 0x4a8e, {0x9b, 0x8b, 0x5a, 0x3d, 0x2c, 0x7e, 0x41, 0xf0}};
constexpr wchar_t kServerClassText[] = L"{6C1F3B52-0E0A-4A8E-9B8B-5A3D2C7E41F0}";
constexpr wchar_t kClassesKey[] = L"Software\\Classes\\";
constexpr wchar_t kDataFolderValue[] = L"DataFolder";
// Named objects by which a command reaches the running server.
constexpr wchar_t kQuitEvent[] = L"Global\\KXVelorinTestServer.Quit";
constexpr wchar_t kRunningMutex[] = L"Global\\KXVelorinTestServer.Running";
constexpr DWORD kQuitWaitMs = 10000;

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 64;

[[nodiscard]] std::wstring ClassKey() {
  return std::wstring(kClassesKey) + L"CLSID\\" + kServerClassText;
}

// A registry key that closes itself.
class Key {
 public:
  Key(const std::wstring& path, bool create) {
    const LSTATUS status =
        create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                 nullptr, &key_, nullptr)
               : RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key_);
    if (status != ERROR_SUCCESS) key_ = nullptr;
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }

  [[nodiscard]] bool Open() const { return key_ != nullptr; }
  [[nodiscard]] bool Set(const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
  }
  [[nodiscard]] std::wstring Get(const wchar_t* name) const {
    wchar_t value[MAX_PATH * 4] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegQueryValueExW(key_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) !=
        ERROR_SUCCESS) {
      return {};
    }
    return value;
  }

 private:
  HKEY key_ = nullptr;
};

[[nodiscard]] bool SetKey(const std::wstring& path, const wchar_t* name,
                          const std::wstring& value) {
  Key key(path, true);
  return key.Open() && key.Set(name, value);
}

[[nodiscard]] std::wstring ExecutablePath() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

// Ends the running server, if any, and waits until it has gone.
void QuitRunningServer() {
  HANDLE running = OpenMutexW(SYNCHRONIZE, FALSE, kRunningMutex);
  if (running == nullptr) return;
  if (HANDLE quit = OpenEventW(EVENT_MODIFY_STATE, FALSE, kQuitEvent); quit != nullptr) {
    SetEvent(quit);
    CloseHandle(quit);
  }
  const DWORD waited = WaitForSingleObject(running, kQuitWaitMs);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(running);
  CloseHandle(running);
}

[[nodiscard]] int Unregister() {
  QuitRunningServer();
  const std::wstring prog_id = Key(ClassKey() + L"\\ProgID", false).Get(nullptr);
  if (!prog_id.empty()) {
    (void)RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kClassesKey) + prog_id).c_str());
  }
  (void)RegDeleteTreeW(HKEY_LOCAL_MACHINE, ClassKey().c_str());
  return kDone;
}

[[nodiscard]] int Register(const std::wstring& data_folder, const std::wstring& prog_id) {
  (void)Unregister();
  const std::wstring server = L"\"" + ExecutablePath() + L"\"";
  const std::wstring folder = std::filesystem::absolute(data_folder).wstring();
  const bool registered =
      SetKey(ClassKey(), nullptr, L"VelorinAutomation test server") &&
      SetKey(ClassKey(), kDataFolderValue, folder) &&
      SetKey(ClassKey() + L"\\LocalServer32", nullptr, server) &&
      SetKey(ClassKey() + L"\\ProgID", nullptr, prog_id) &&
      SetKey(std::wstring(kClassesKey) + prog_id, nullptr, L"VelorinAutomation test server") &&
      SetKey(std::wstring(kClassesKey) + prog_id + L"\\CLSID", nullptr, kServerClassText);
  if (!registered) {
    std::fputs("VelorinTestServer: cannot write the registration (administrator rights?)\n",
               stderr);
    return kFailed;
  }
  return kDone;
}

// Hands out the one served object, or refuses every instance when the data cannot be served.
class Factory final : public IClassFactory {
 public:
  Factory(IDispatch& object, HRESULT refusal) : object_(object), refusal_(refusal) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interface_id, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (interface_id != IID_IUnknown && interface_id != IID_IClassFactory) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives as long as the process
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID interface_id,
                                           void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    if (FAILED(refusal_)) return refusal_;
    return object_.QueryInterface(interface_id, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  IDispatch& object_;
  HRESULT refusal_;
};

// Pumps the thread's messages (COM's calls arrive as messages) until the event is set.
void ServeUntil(HANDLE quit) {
  while (MsgWaitForMultipleObjects(1, &quit, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

[[nodiscard]] int Serve() {
  HANDLE running = CreateMutexW(nullptr, TRUE, kRunningMutex);
  HANDLE quit = CreateEventW(nullptr, FALSE, FALSE, kQuitEvent);
  if (running == nullptr || quit == nullptr) return kFailed;
  const ComApartment apartment;
  if (!apartment.Usable()) return kFailed;

  AutomationStandIn standin(Key(ClassKey(), false).Get(kDataFolderValue));
  const CallResult reached = standin.Connect();
  if (reached.Failed()) {
    std::fprintf(stderr, "VelorinTestServer: %s\n", reached.text.c_str());
  }
  StandInDispatch object(standin);
  Factory factory(object, reached.Failed() ? CO_E_SERVER_EXEC_FAILURE : S_OK);
  DWORD class_cookie = 0;
  DWORD active_cookie = 0;
  if (FAILED(CoRegisterClassObject(kServerClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                   &class_cookie))) {
    return kFailed;
  }
  const bool active =
      !reached.Failed() &&
      SUCCEEDED(RegisterActiveObject(&object, kServerClass, ACTIVEOBJECT_STRONG, &active_cookie));
  ServeUntil(quit);
  if (active) RevokeActiveObject(active_cookie, nullptr);
  CoRevokeClassObject(class_cookie);
  CoDisconnectObject(&object, 0);
  ReleaseMutex(running);
  CloseHandle(quit);
  CloseHandle(running);
  return kDone;
}

[[nodiscard]] bool Named(std::wstring_view argument, std::wstring_view name) {
  return argument.size() == name.size() + 1 && (argument[0] == L'/' || argument[0] == L'-') &&
         _wcsicmp(std::wstring(argument.substr(1)).c_str(), std::wstring(name).c_str()) == 0;
}

[[nodiscard]] bool Option(std::wstring_view argument, std::wstring_view prefix,
                          std::wstring& value) {
  if (!argument.starts_with(prefix)) return false;
  value = argument.substr(prefix.size());
  return true;
}

[[nodiscard]] int Run(const std::vector<std::wstring>& arguments) {
  if (arguments.empty() || Named(arguments[0], L"Embedding")) return Serve();
  if (arguments.size() == 1 && Named(arguments[0], L"UnregServer")) return Unregister();
  if (arguments.size() == 1 && Named(arguments[0], L"Quit")) {
    QuitRunningServer();
    return kDone;
  }
  if (Named(arguments[0], L"RegServer")) {
    std::wstring data;
    std::wstring prog_id = WideFromUtf8(kDefaultAutomationProgId);
    bool understood = true;
    for (size_t n = 1; n < arguments.size(); ++n) {
      understood = understood && (Option(arguments[n], L"--data=", data) ||
                                  Option(arguments[n], L"--progid=", prog_id));
    }
    if (understood && !data.empty() && !prog_id.empty()) return Register(data, prog_id);
  }
  std::fputs(
      "usage: VelorinTestServer /RegServer --data=FOLDER [--progid=NAME] | /UnregServer | /Quit\n",
      stderr);
  return kUsage;
}

}  // namespace
}  // namespace kx

int main() {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> arguments;
  for (int n = 1; n < count; ++n) arguments.emplace_back(words[n]);
  LocalFree(words);
  return kx::Run(arguments);
}
