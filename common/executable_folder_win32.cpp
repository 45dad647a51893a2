#include <windows.h>

#include <string>
#include <system_error>

#include "common/executable_folder.h"

namespace kx {
namespace {

// Longest path the wide file functions accept; the buffer grows up to it.
constexpr size_t kMaxPathLength = 32768;

}  // namespace

std::filesystem::path ExecutablePath() {
  for (std::wstring buffer(MAX_PATH, L'\0'); buffer.size() <= kMaxPathLength;
       buffer.resize(buffer.size() * 2)) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) break;
    // A full buffer means the path was cut.
    if (length < buffer.size()) return std::filesystem::path(buffer.substr(0, length));
  }
  throw std::filesystem::filesystem_error(
      "cannot read the executable's path",
      std::error_code(static_cast<int>(GetLastError()), std::system_category()));
}

std::filesystem::path ExecutableFolder() {
  return ExecutablePath().parent_path();
}

}  // namespace kx
