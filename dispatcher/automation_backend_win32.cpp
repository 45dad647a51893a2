// On Windows the dispatcher is its automation server, reached by late binding through IDispatch:
// each operation is looked up by name once per link (GetIDsOfNames) and invoked with automation
// values. The link attaches to the instance running under the configured ProgID, or starts one,
// out of process first. COM is initialised single-threaded on the link's thread when the link
// connects and released when the link goes.
#include <windows.h>
#include <wrl/client.h>

#include <optional>
#include <unordered_map>
#include <vector>

#include "dispatcher/automation_backend.h"
#include "dispatcher/com_support_win32.h"
#include "dispatcher/link_settings.h"

namespace kx {
namespace {

using Microsoft::WRL::ComPtr;

// The failure of a status, with the system's text for it.
[[nodiscard]] CallResult Failure(HRESULT status) {
  return {static_cast<int32_t>(status), SystemText(status)};
}

// The failure a server raised: its own code and description where it gives them.
[[nodiscard]] CallResult ServerFailure(EXCEPINFO& exception) {
  if (exception.pfnDeferredFillIn != nullptr) (void)exception.pfnDeferredFillIn(&exception);
  const HRESULT code = exception.scode != 0 ? exception.scode : DISP_E_EXCEPTION;
  std::string text = Utf8FromBstr(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  if (text.empty()) text = SystemText(code);
  return {static_cast<int32_t>(code), std::move(text)};
}

// The result of converting a value the server returned.
[[nodiscard]] CallResult Converted(HRESULT status) {
  return FAILED(status) ? Failure(status) : CallResult{};
}

class ComAutomation final : public AutomationBackend {
 public:
  explicit ComAutomation(std::string prog_id) : prog_id_(std::move(prog_id)) {}

  CallResult Connect() override;

  CallResult GroupsNum(int32_t& value) override { return Read("GroupsNum", value); }
  CallResult SetGroupIndex(int32_t group) override { return Set("GroupIndex", group); }
  CallResult GroupCarsNum(int32_t& value) override { return Read("GroupCarsNum", value); }
  CallResult SetCarIndex(int32_t car) override { return Set("CarIndex", car); }
  CallResult GroupName(std::string& value) override { return Read("GroupName", value); }
  CallResult GroupFileName(std::string& value) override { return Read("GroupFileName", value); }
  CallResult CarDevice(int32_t& value) override { return Read("CarDevice", value); }
  CallResult CarModel(std::string& value) override { return Read("CarModel", value); }
  CallResult CarNumber(std::string& value) override { return Read("CarNumber", value); }
  CallResult CarLatitude(double& value) override { return Read("CarLatitude", value); }
  CallResult WaitForInitializing() override { return Call("WaitForInitializing", {}); }
  CallResult SetGroupIndexByFileName(std::string_view file_name) override {
    return Call("SetGroupIndexByFileName", Values(file_name));
  }
  CallResult SetCarIndexByDevice(int32_t device) override {
    return Call("SetCarIndexByDevice", Values(device));
  }
  CallResult StartComputing(std::string_view group_file, int32_t device, std::string_view from,
                            std::string_view to, std::string_view source, int32_t mode) override {
    return Call("StartComputing", Values(group_file, device, from, to, source, mode));
  }
  CallResult ComputingBusy(int32_t& value) override { return Read("ComputingBusy", value); }
  CallResult TripsNum(int32_t& value) override { return Read("TripsNum", value); }
  CallResult SetTripIndex(int32_t trip) override { return Set("TripIndex", trip); }
  CallResult ExportTrackToFile(std::string_view path, int32_t format, std::string_view text1,
                               std::string_view text2, int32_t option1, int32_t option2,
                               int32_t icons, int32_t gmt, int32_t option3,
                               int32_t option4) override {
    return Call("ExportTrackToFile",
                Values(path, format, text1, text2, option1, option2, icons, gmt, option3, option4));
  }
  CallResult ExportCarsToFile(std::string_view path, std::string_view devices, int32_t format,
                              std::string_view text1, std::string_view text2, int32_t gmt,
                              int32_t option1, int32_t option2) override {
    return Call("ExportCarsToFile",
                Values(path, devices, format, text1, text2, gmt, option1, option2));
  }

 private:
  template <typename... Arguments>
  [[nodiscard]] static std::vector<Variant> Values(Arguments... arguments) {
    std::vector<Variant> values;
    values.reserve(sizeof...(arguments));
    (values.emplace_back(arguments), ...);
    return values;
  }

  // The operation's dispatch identifier, asked of the server the first time only.
  [[nodiscard]] CallResult Id(const char* name, DISPID& id);
  // Invokes the operation with the arguments in their written order.
  [[nodiscard]] CallResult Invoke(const char* name, WORD kind, std::vector<Variant>& arguments,
                                  VARIANT* result);
  [[nodiscard]] CallResult Call(const char* name, std::vector<Variant> arguments);
  [[nodiscard]] CallResult Set(const char* name, int32_t value);
  template <typename Value>
  [[nodiscard]] CallResult Read(const char* name, Value& value);

  std::string prog_id_;
  // Declared before the server, so the server is released while COM is still initialised.
  std::optional<ComApartment> apartment_;
  ComPtr<IDispatch> server_;
  // Keyed by the operations' names, string literals that outlive every link.
  std::unordered_map<std::string_view, DISPID> ids_;
};

CallResult ComAutomation::Connect() {
  if (!apartment_) apartment_.emplace();
  if (!apartment_->Usable()) return Failure(apartment_->status());
  CLSID server_class;
  HRESULT status = CLSIDFromProgID(WideFromUtf8(prog_id_).c_str(), &server_class);
  if (FAILED(status)) return Failure(status);
  ComPtr<IUnknown> running;
  if (SUCCEEDED(GetActiveObject(server_class, nullptr, &running)) &&
      SUCCEEDED(running.As(&server_))) {
    return {};
  }
  // The dispatcher is an application of its own; an in-process server is the second choice.
  status = CoCreateInstance(server_class, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&server_));
  if (FAILED(status)) {
    const HRESULT in_process =
        CoCreateInstance(server_class, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&server_));
    if (SUCCEEDED(in_process)) return {};
    // The out-of-process failure is the one that says why the dispatcher did not start.
    return Failure(status);
  }
  return {};
}

CallResult ComAutomation::Id(const char* name, DISPID& id) {
  if (const auto known = ids_.find(name); known != ids_.end()) {
    id = known->second;
    return {};
  }
  std::wstring wide_name = WideFromUtf8(name);
  LPOLESTR names[] = {wide_name.data()};
  const HRESULT status = server_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(status)) return Failure(status);
  ids_.emplace(name, id);
  return {};
}

CallResult ComAutomation::Invoke(const char* name, WORD kind, std::vector<Variant>& arguments,
                                 VARIANT* result) {
  DISPID id = DISPID_UNKNOWN;
  if (CallResult known = Id(name, id); known.Failed()) return known;
  // Automation takes the arguments last first.
  std::vector<VARIANTARG> reversed;
  reversed.reserve(arguments.size());
  for (auto argument = arguments.rbegin(); argument != arguments.rend(); ++argument) {
    reversed.push_back(*argument->get());
  }
  DISPID property_put = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  if (kind == DISPATCH_PROPERTYPUT) {
    parameters.rgdispidNamedArgs = &property_put;
    parameters.cNamedArgs = 1;
  }
  EXCEPINFO exception{};
  UINT wrong_argument = 0;
  const HRESULT status = server_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters,
                                         result, &exception, &wrong_argument);
  if (status == DISP_E_EXCEPTION) return ServerFailure(exception);
  return FAILED(status) ? Failure(status) : CallResult{};
}

CallResult ComAutomation::Call(const char* name, std::vector<Variant> arguments) {
  Variant ignored;
  return Invoke(name, DISPATCH_METHOD, arguments, ignored.get());
}

CallResult ComAutomation::Set(const char* name, int32_t value) {
  std::vector<Variant> arguments = Values(value);
  return Invoke(name, DISPATCH_PROPERTYPUT, arguments, nullptr);
}

template <typename Value>
CallResult ComAutomation::Read(const char* name, Value& value) {
  std::vector<Variant> none;
  Variant result;
  // A server may offer a read as a property or as a method without arguments.
  if (CallResult read = Invoke(name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, none, result.get());
      read.Failed()) {
    return read;
  }
  if constexpr (std::is_same_v<Value, int32_t>) {
    return Converted(VariantToInt32(*result.get(), value));
  } else if constexpr (std::is_same_v<Value, double>) {
    return Converted(VariantToDouble(*result.get(), value));
  } else {
    return Converted(VariantToUtf8(*result.get(), value));
  }
}

}  // namespace

std::unique_ptr<AutomationBackend> MakeAutomationBackend() {
  return std::make_unique<ComAutomation>(CurrentLinkSettings().progId);
}

}  // namespace kx
