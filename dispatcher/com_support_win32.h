// Small pieces of COM automation shared by the dispatcher link's Windows backend and the test
// automation server: the system's text for a status, owned automation strings and variants with
// the program's UTF-8 text, and a thread's COM apartment.
#pragma once

#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "common/wide_text.h"

namespace kx {

// The system's message for a status, without its trailing line break; empty when there is none.
[[nodiscard]] std::string SystemText(HRESULT status);

// An automation string (BSTR) that frees itself.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::string_view utf8);
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(value_); }

  [[nodiscard]] BSTR get() const { return value_; }
  // Hands the string to a caller that frees it.
  [[nodiscard]] BSTR release();

 private:
  BSTR value_ = nullptr;
};

[[nodiscard]] std::string Utf8FromBstr(BSTR text);

// A VARIANT that clears itself.
class Variant {
 public:
  Variant() { VariantInit(&value_); }
  explicit Variant(int32_t number);
  explicit Variant(std::string_view utf8);
  Variant(Variant&& other) noexcept;
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  Variant& operator=(Variant&&) = delete;
  ~Variant() { VariantClear(&value_); }

  [[nodiscard]] VARIANT* get() { return &value_; }

 private:
  VARIANT value_;
};

// A value converted to the type; the status says whether it could be, and the out parameter is
// left alone when not.
[[nodiscard]] HRESULT VariantToInt32(VARIANT& value, int32_t& number);
[[nodiscard]] HRESULT VariantToDouble(VARIANT& value, double& number);
[[nodiscard]] HRESULT VariantToUtf8(VARIANT& value, std::string& text);

// COM initialised single-threaded on the thread that makes this object, for as long as it lives.
// COM counts initialisations per thread, so the undoing happens only on that same thread; an
// object destroyed elsewhere leaves the count to its thread.
class ComApartment {
 public:
  ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment();

  // The initialisation's status: a thread that already runs COM multithreaded can use it as is.
  [[nodiscard]] HRESULT status() const { return status_; }
  [[nodiscard]] bool Usable() const { return SUCCEEDED(status_) || status_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT status_;
  DWORD thread_;
};

}  // namespace kx
