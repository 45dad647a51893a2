#include "tests/windows/standin_dispatch.h"

#include <array>
#include <string>

#include "dispatcher/com_support_win32.h"

namespace kx {
namespace {

// An argument that is missing or of a type that does not convert, by its written position.
struct BadArgument {
  UINT position;
  HRESULT status;
};

// The arguments of one call in their written order (automation passes them last first).
class Arguments {
 public:
  explicit Arguments(DISPPARAMS& parameters) : parameters_(parameters) {}

  [[nodiscard]] int32_t Long(UINT position) const {
    int32_t value = 0;
    Check(position, VariantToInt32(At(position), value));
    return value;
  }
  [[nodiscard]] std::string Text(UINT position) const {
    std::string value;
    Check(position, VariantToUtf8(At(position), value));
    return value;
  }

 private:
  [[nodiscard]] VARIANT& At(UINT position) const {
    return parameters_.rgvarg[parameters_.cArgs - 1 - position];
  }
  static void Check(UINT position, HRESULT status) {
    if (FAILED(status)) throw BadArgument{position, status};
  }

  DISPPARAMS& parameters_;
};

enum class Kind { kRead, kSet, kMethod };

using Handler = CallResult (*)(AutomationStandIn&, const Arguments&, VARIANT*);

struct Operation {
  const wchar_t* name;
  Kind kind;
  UINT arguments;
  Handler handler;
};

void Store(VARIANT* result, int32_t value) {
  result->vt = VT_I4;
  result->lVal = value;
}
void Store(VARIANT* result, double value) {
  result->vt = VT_R8;
  result->dblVal = value;
}
void Store(VARIANT* result, const std::string& value) {
  result->vt = VT_BSTR;
  result->bstrVal = Bstr(value).release();
}

// A read of the stand-in, its value stored as the call's result.
template <typename Value, CallResult (AutomationStandIn::*read)(Value&)>
CallResult Read(AutomationStandIn& standin, const Arguments&, VARIANT* result) {
  Value value{};
  CallResult outcome = (standin.*read)(value);
  if (!outcome.Failed() && result != nullptr) Store(result, value);
  return outcome;
}

template <CallResult (AutomationStandIn::*set)(int32_t)>
CallResult Set(AutomationStandIn& standin, const Arguments& arguments, VARIANT*) {
  return (standin.*set)(arguments.Long(0));
}

const std::array kOperations = {
    Operation{L"GroupsNum", Kind::kRead, 0, Read<int32_t, &AutomationStandIn::GroupsNum>},
    Operation{L"GroupIndex", Kind::kSet, 1, Set<&AutomationStandIn::SetGroupIndex>},
    Operation{L"GroupCarsNum", Kind::kRead, 0, Read<int32_t, &AutomationStandIn::GroupCarsNum>},
    Operation{L"CarIndex", Kind::kSet, 1, Set<&AutomationStandIn::SetCarIndex>},
    Operation{L"GroupName", Kind::kRead, 0, Read<std::string, &AutomationStandIn::GroupName>},
    Operation{L"GroupFileName", Kind::kRead, 0,
              Read<std::string, &AutomationStandIn::GroupFileName>},
    Operation{L"CarDevice", Kind::kRead, 0, Read<int32_t, &AutomationStandIn::CarDevice>},
    Operation{L"CarModel", Kind::kRead, 0, Read<std::string, &AutomationStandIn::CarModel>},
    Operation{L"CarNumber", Kind::kRead, 0, Read<std::string, &AutomationStandIn::CarNumber>},
    Operation{L"CarLatitude", Kind::kRead, 0, Read<double, &AutomationStandIn::CarLatitude>},
    Operation{
        L"WaitForInitializing", Kind::kMethod, 0,
        [](AutomationStandIn& s, const Arguments&, VARIANT*) { return s.WaitForInitializing(); }},
    Operation{L"SetGroupIndexByFileName", Kind::kMethod, 1,
              [](AutomationStandIn& s, const Arguments& a, VARIANT*) {
                return s.SetGroupIndexByFileName(a.Text(0));
              }},
    Operation{L"SetCarIndexByDevice", Kind::kMethod, 1,
              [](AutomationStandIn& s, const Arguments& a, VARIANT*) {
                return s.SetCarIndexByDevice(a.Long(0));
              }},
    Operation{L"StartComputing", Kind::kMethod, 6,
              [](AutomationStandIn& s, const Arguments& a, VARIANT*) {
                return s.StartComputing(a.Text(0), a.Long(1), a.Text(2), a.Text(3), a.Text(4),
                                        a.Long(5));
              }},
    Operation{L"ComputingBusy", Kind::kRead, 0, Read<int32_t, &AutomationStandIn::ComputingBusy>},
    Operation{L"TripsNum", Kind::kRead, 0, Read<int32_t, &AutomationStandIn::TripsNum>},
    Operation{L"TripIndex", Kind::kSet, 1, Set<&AutomationStandIn::SetTripIndex>},
    Operation{L"ExportTrackToFile", Kind::kMethod, 10,
              [](AutomationStandIn& s, const Arguments& a, VARIANT*) {
                return s.ExportTrackToFile(a.Text(0), a.Long(1), a.Text(2), a.Text(3), a.Long(4),
                                           a.Long(5), a.Long(6), a.Long(7), a.Long(8), a.Long(9));
              }},
    Operation{L"ExportCarsToFile", Kind::kMethod, 8,
              [](AutomationStandIn& s, const Arguments& a, VARIANT*) {
                return s.ExportCarsToFile(a.Text(0), a.Text(1), a.Long(2), a.Text(3), a.Text(4),
                                          a.Long(5), a.Long(6), a.Long(7));
              }},
};

[[nodiscard]] bool Accepts(Kind kind, WORD requested) {
  switch (kind) {
    case Kind::kRead:
      return (requested & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0;
    case Kind::kSet:
      return (requested & DISPATCH_PROPERTYPUT) != 0;
    case Kind::kMethod:
      return (requested & DISPATCH_METHOD) != 0;
  }
  return false;
}

// The arguments a call passes, without the one named argument of a property put.
[[nodiscard]] bool CountMatches(const Operation& operation, const DISPPARAMS& parameters) {
  const UINT named = operation.kind == Kind::kSet ? 1 : 0;
  if (parameters.cNamedArgs != named) return false;
  if (named == 1 && parameters.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) return false;
  return parameters.cArgs == operation.arguments;
}

void Raise(EXCEPINFO* exception, const CallResult& failure) {
  if (exception == nullptr) return;
  *exception = EXCEPINFO{};
  exception->scode = failure.code;
  exception->bstrSource = Bstr("VelorinTestServer").release();
  exception->bstrDescription = Bstr(failure.text).release();
}

}  // namespace

HRESULT StandInDispatch::QueryInterface(REFIID interface_id, void** object) {
  if (object == nullptr) return E_POINTER;
  if (interface_id != IID_IUnknown && interface_id != IID_IDispatch) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  *object = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

HRESULT StandInDispatch::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT StandInDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (count == 0) return S_OK;
  for (UINT n = 1; n < count; ++n) ids[n] = DISPID_UNKNOWN;  // these operations take no names
  for (size_t op = 0; op < kOperations.size(); ++op) {
    if (_wcsicmp(names[0], kOperations[op].name) != 0) continue;
    ids[0] = static_cast<DISPID>(op + 1);
    return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
  }
  ids[0] = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

HRESULT StandInDispatch::Invoke(DISPID id, REFIID, LCID, WORD kind, DISPPARAMS* parameters,
                                VARIANT* result, EXCEPINFO* exception, UINT* wrong_argument) {
  if (id < 1 || static_cast<size_t>(id) > kOperations.size()) return DISP_E_MEMBERNOTFOUND;
  const Operation& operation = kOperations[static_cast<size_t>(id) - 1];
  if (!Accepts(operation.kind, kind)) return DISP_E_MEMBERNOTFOUND;
  if (parameters == nullptr || !CountMatches(operation, *parameters)) return DISP_E_BADPARAMCOUNT;
  if (result != nullptr) VariantInit(result);
  try {
    const CallResult outcome = operation.handler(standin_, Arguments(*parameters), result);
    if (!outcome.Failed()) return S_OK;
    Raise(exception, outcome);
    return DISP_E_EXCEPTION;
  } catch (const BadArgument& bad) {
    if (wrong_argument != nullptr) *wrong_argument = parameters->cArgs - 1 - bad.position;
    return DISP_E_TYPEMISMATCH;
  } catch (const std::exception& error) {
    Raise(exception, {E_FAIL, error.what()});
    return DISP_E_EXCEPTION;
  }
}

}  // namespace kx
