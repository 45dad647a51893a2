// Windows: the temporary file, made with the target's attributes, is written and flushed with
// FlushFileBuffers, then renamed over the target with a write-through MoveFileExW. (ReplaceFileW
// would also keep the target's creation time, but where a reader holds the target, wine's leaves
// a backup file behind on every failed attempt.)
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <system_error>
#include <thread>

#include "common/atomic_file.h"
#include "common/utf8_path.h"

namespace kx {
namespace {

// A reader that has the target open without delete sharing (the C runtime's files) blocks the
// replace for the moment it reads; the replace tries again for about a second.
constexpr int kReplaceAttempts = 20;
constexpr std::chrono::milliseconds kReplaceRetryDelay{50};
// Names tried before a temporary file is given up.
constexpr int kTemporaryNameAttempts = 100;

[[noreturn]] void ThrowError(DWORD error, const std::string& what) {
  throw std::system_error(static_cast<int>(error), std::system_category(), what);
}

// Closes the handle and deletes the file unless released.
class TemporaryFile {
 public:
  TemporaryFile(HANDLE handle, std::filesystem::path path)
      : handle_(handle), path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    if (!released_) DeleteFileW(path_.c_str());
  }
  [[nodiscard]] HANDLE handle() const { return handle_; }
  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path Release() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(handle)) ThrowError(GetLastError(), "cannot close " + Utf8FromPath(path_));
    released_ = true;
    return path_;
  }

 private:
  HANDLE handle_;
  std::filesystem::path path_;
  bool released_ = false;
};

// The attributes the new file takes over from the target it replaces (read-only would block the
// replace itself).
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// A new file beside the target with a name no other writer uses, with the target's attributes.
TemporaryFile CreateTemporaryBeside(const std::filesystem::path& target) {
  const DWORD existing = GetFileAttributesW(target.c_str());
  const DWORD attributes = existing == INVALID_FILE_ATTRIBUTES || (existing & kKeptAttributes) == 0
                               ? FILE_ATTRIBUTE_NORMAL
                               : existing & kKeptAttributes;
  static std::atomic<unsigned> counter{0};
  const auto stamp = static_cast<unsigned long long>(GetTickCount64());
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    std::filesystem::path path = target;
    path += std::filesystem::path(kTemporaryMark).native() +
            std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(stamp) + L"-" +
            std::to_wstring(counter.fetch_add(1));
    const HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return TemporaryFile(handle, std::move(path));
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  ThrowError(GetLastError(), "cannot create a temporary file beside " + Utf8FromPath(target));
}

void WriteAll(HANDLE handle, std::string_view bytes, const std::filesystem::path& path) {
  // WriteFile takes at most a DWORD at a time.
  constexpr size_t kLargestWrite = 1u << 30;
  while (!bytes.empty()) {
    DWORD written = 0;
    const auto size = static_cast<DWORD>(std::min(bytes.size(), kLargestWrite));
    if (!WriteFile(handle, bytes.data(), size, &written, nullptr) || written == 0) {
      ThrowError(GetLastError(), "cannot write " + Utf8FromPath(path));
    }
    bytes.remove_prefix(written);
  }
}

[[nodiscard]] bool PutInPlace(const std::filesystem::path& temporary,
                              const std::filesystem::path& target) {
  return MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

[[nodiscard]] bool IsTransient(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED;
}

}  // namespace

std::filesystem::path WriteTemporaryBeside(const std::filesystem::path& target,
                                           std::string_view bytes) {
  TemporaryFile temporary = CreateTemporaryBeside(target);
  const std::filesystem::path& path = temporary.Path();
  WriteAll(temporary.handle(), bytes, path);
  if (!FlushFileBuffers(temporary.handle())) {
    ThrowError(GetLastError(), "cannot flush " + Utf8FromPath(path));
  }
  return temporary.Release();
}

void CommitTemporary(const std::filesystem::path& temporary, const std::filesystem::path& target) {
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(kReplaceRetryDelay);
    if (PutInPlace(temporary, target)) return;
    error = GetLastError();
    if (!IsTransient(error)) break;
  }
  DeleteFileW(temporary.c_str());
  ThrowError(error, "cannot replace " + Utf8FromPath(target));
}

void ReplaceFileAtomically(const std::filesystem::path& target, std::string_view bytes) {
  CommitTemporary(WriteTemporaryBeside(target, bytes), target);
}

}  // namespace kx
