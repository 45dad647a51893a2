// The automation stand-in served through IDispatch under the dispatcher's operation names, for the
// test automation server. Reads answer property gets (or calls without arguments), selections
// take property puts, the rest are methods; a refused operation raises an automation exception
// with the stand-in's code and text.
#pragma once

#include <ole2.h>
#include <windows.h>

#include "dispatcher/automation_standin.h"

namespace kx {

class StandInDispatch final : public IDispatch {
 public:
  explicit StandInDispatch(AutomationStandIn& standin) : standin_(standin) {}

  // The object lives as long as the server's process; the count is kept for COM's bookkeeping.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID interface_id, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references_); }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD kind, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* wrong_argument) override;

 private:
  AutomationStandIn& standin_;
  long references_ = 0;
};

}  // namespace kx
