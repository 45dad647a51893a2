#include "dispatcher/com_support_win32.h"

#include <new>
#include <utility>

namespace kx {

std::string SystemText(HRESULT status) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer != nullptr ? buffer : L"", length);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
    text.pop_back();
  }
  return Utf8FromWide(text);
}

Bstr::Bstr(std::string_view utf8) {
  const std::wstring wide = WideFromUtf8(utf8);
  value_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (value_ == nullptr) throw std::bad_alloc();
}

BSTR Bstr::release() {
  return std::exchange(value_, nullptr);
}

std::string Utf8FromBstr(BSTR text) {
  return text == nullptr ? std::string() : Utf8FromWide({text, SysStringLen(text)});
}

Variant::Variant(int32_t number) : Variant() {
  value_.vt = VT_I4;
  value_.lVal = number;
}

Variant::Variant(std::string_view utf8) : Variant() {
  Bstr text(utf8);
  value_.vt = VT_BSTR;
  value_.bstrVal = text.release();
}

Variant::Variant(Variant&& other) noexcept : value_(other.value_) {
  VariantInit(&other.value_);
}

HRESULT VariantToInt32(VARIANT& value, int32_t& number) {
  Variant converted;
  const HRESULT status = VariantChangeType(converted.get(), &value, 0, VT_I4);
  if (SUCCEEDED(status)) number = converted.get()->lVal;
  return status;
}

HRESULT VariantToDouble(VARIANT& value, double& number) {
  Variant converted;
  const HRESULT status = VariantChangeType(converted.get(), &value, 0, VT_R8);
  if (SUCCEEDED(status)) number = converted.get()->dblVal;
  return status;
}

HRESULT VariantToUtf8(VARIANT& value, std::string& text) {
  Variant converted;
  const HRESULT status = VariantChangeType(converted.get(), &value, 0, VT_BSTR);
  if (SUCCEEDED(status)) text = Utf8FromBstr(converted.get()->bstrVal);
  return status;
}

ComApartment::ComApartment()
    : status_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)), thread_(GetCurrentThreadId()) {}

ComApartment::~ComApartment() {
  if (SUCCEEDED(status_) && GetCurrentThreadId() == thread_) CoUninitialize();
}

}  // namespace kx
