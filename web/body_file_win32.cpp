#include <windows.h>

#include <algorithm>
#include <string>
#include <system_error>

#include "common/utf8_path.h"
#include "web/body_file.h"

namespace kx::web {
namespace {

[[noreturn]] void ThrowError(DWORD error, const std::string& what) {
  throw std::system_error(static_cast<int>(error), std::system_category(), what);
}

[[nodiscard]] HANDLE HandleOf(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

std::unique_ptr<BodyFile> BodyFile::Open(const std::filesystem::path& path) {
  // Shared for reading, writing and deleting, so that a new archive can replace the file while
  // this reply still sends the old one. FILE_FLAG_BACKUP_SEMANTICS lets a folder open, so that
  // it is refused below as not a regular file rather than as a failed open.
  const HANDLE handle = CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    ThrowError(GetLastError(), "cannot open " + Utf8FromPath(path));
  auto file = std::make_unique<BodyFile>(OpenKey{}, reinterpret_cast<intptr_t>(handle), 0);
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(handle, &information)) {
    ThrowError(GetLastError(), "cannot read " + Utf8FromPath(path));
  }
  const bool folder = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folder || GetFileType(handle) != FILE_TYPE_DISK) {
    throw std::system_error(
        std::make_error_code(folder ? std::errc::is_a_directory : std::errc::invalid_argument),
        "not a regular file: " + Utf8FromPath(path));
  }
  file->size_ = (uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
  return file;
}

BodyFile::~BodyFile() {
  CloseHandle(HandleOf(handle_));
}

size_t BodyFile::Read(char* buffer, size_t capacity) {
  // ReadFile takes at most a DWORD at a time.
  constexpr size_t kLargestRead = 1u << 30;
  DWORD got = 0;
  if (!ReadFile(HandleOf(handle_), buffer, static_cast<DWORD>(std::min(capacity, kLargestRead)),
                &got, nullptr)) {
    ThrowError(GetLastError(), "cannot read a reply file");
  }
  return got;
}

}  // namespace kx::web
