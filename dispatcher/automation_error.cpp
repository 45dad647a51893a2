#include "dispatcher/automation_error.h"

#include <cstdio>

namespace kx {
namespace {

// The module the check text names as the place of the failed call.
constexpr std::string_view kCheckModule = "Velorin_OCX";

}  // namespace

std::string UnreachableText(const CallResult& result) {
  if (!result.text.empty()) return result.text;
  char code[32];
  std::snprintf(code, sizeof code, "Error 0x%08lX",
                static_cast<unsigned long>(static_cast<uint32_t>(result.code)));
  return code;
}

std::string CallFailureText(std::string_view operation, const CallResult& result, int line) {
  const std::string place = " @ " + std::string(kCheckModule) + "/" + std::to_string(line);
  if (!result.text.empty()) {
    return "'" + std::string(operation) + "': " + result.text + place;
  }
  char code[64];
  std::snprintf(code, sizeof code, "%lX (%ld)",
                static_cast<unsigned long>(static_cast<uint32_t>(result.code)),
                static_cast<long>(result.code));
  return "(" + std::string(operation) + ") Error: " + code + place;
}

}  // namespace kx
