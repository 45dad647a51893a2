// Windows files for the archive writer. The archive is opened without write sharing, so two
// writers never meet on one file while readers sending it stay possible; a source is shared
// with other readers only. Attributes and the three file times are the file system's own.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "common/cp1251.h"
#include "common/utf8_path.h"
#include "mapdata/zip_io.h"

namespace kx::zip {
namespace {

constexpr DWORD kArchiveSharing = FILE_SHARE_READ | FILE_SHARE_DELETE;
// The attributes an archive entry records.
constexpr DWORD kDosAttributeMask = kDosReadOnly | kDosHidden | kDosSystem | kDosArchive;
// Write and read calls take at most a DWORD at a time.
constexpr size_t kLargestTransfer = 1u << 30;

[[nodiscard]] HANDLE HandleOf(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

[[nodiscard]] FileTime ToFileTime(const FILETIME& time) {
  return (FileTime{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

void CloseFile(intptr_t& handle) {
  if (handle != -1) CloseHandle(HandleOf(handle));
  handle = -1;
}

// Moves an old archive out of the way and deletes it, unless another writer holds it. Readers
// still sending it keep their handle (they share deletion) and read it to its end; its name is
// free at once for the new archive. True when there was none or it is gone.
[[nodiscard]] bool RemoveOldArchive(const std::filesystem::path& path) {
  const HANDLE old = CreateFileW(path.c_str(), GENERIC_WRITE, kArchiveSharing | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (old == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  static std::atomic<unsigned> counter{0};
  std::filesystem::path away = path;
  away += L".old-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(counter.fetch_add(1));
  const bool moved = MoveFileExW(path.c_str(), away.c_str(), 0) != 0;
  CloseHandle(old);
  if (moved) DeleteFileW(away.c_str());
  return moved;
}

}  // namespace

ArchiveFile::~ArchiveFile() {
  CloseFile(handle_);
}

bool ArchiveFile::Create(const std::filesystem::path& native) {
  CloseFile(handle_);
  if (!RemoveOldArchive(native)) return false;
  const HANDLE handle = CreateFileW(native.c_str(), GENERIC_WRITE, kArchiveSharing, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(handle);
  return true;
}

bool ArchiveFile::Write(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const auto size = static_cast<DWORD>(std::min(bytes.size(), kLargestTransfer));
    if (!WriteFile(HandleOf(handle_), bytes.data(), size, &written, nullptr) || written == 0) {
      return false;
    }
    bytes = bytes.subspan(written);
  }
  return true;
}

bool ArchiveFile::Seek(uint64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(HandleOf(handle_), distance, nullptr, FILE_BEGIN) != 0;
}

bool ArchiveFile::Truncate(uint64_t size) {
  // The end of file is set at the file pointer; the pointer goes back to where it was.
  LARGE_INTEGER here{};
  const LARGE_INTEGER zero{};
  return SetFilePointerEx(HandleOf(handle_), zero, &here, FILE_CURRENT) && Seek(size) &&
         SetEndOfFile(HandleOf(handle_)) &&
         SetFilePointerEx(HandleOf(handle_), here, nullptr, FILE_BEGIN);
}

bool ArchiveFile::Close() {
  const HANDLE handle = HandleOf(handle_);
  handle_ = -1;
  return CloseHandle(handle) != 0;
}

bool MoveArchiveIntoPlace(const std::filesystem::path& from, const std::filesystem::path& to) {
  // An archive nobody is reading is replaced in one rename. Windows refuses to rename over a file
  // that a reader holds; then the old archive is moved aside for its readers first (when they
  // share deletion, as the service's replies do), and a fetch in the moment between finds no
  // archive, which it answers like any missing one, never with half of one.
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  if (RemoveOldArchive(to) && MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return true;
  }
  DeleteFileW(from.c_str());
  return false;
}

void DiscardArchive(const std::filesystem::path& path) {
  DeleteFileW(path.c_str());
}

SourceFile::~SourceFile() {
  CloseFile(handle_);
}

bool SourceFile::Open(const std::filesystem::path& path) {
  CloseFile(handle_);
  const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(handle, &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
      GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(handle);
  info_.size = (uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
  info_.dosAttributes = static_cast<uint8_t>(information.dwFileAttributes & kDosAttributeMask);
  info_.lastWrite = ToFileTime(information.ftLastWriteTime);
  info_.lastAccess = ToFileTime(information.ftLastAccessTime);
  info_.creation = ToFileTime(information.ftCreationTime);
  return true;
}

ptrdiff_t SourceFile::Read(std::span<uint8_t> bytes) {
  DWORD got = 0;
  const auto size = static_cast<DWORD>(std::min(bytes.size(), kLargestTransfer));
  if (!ReadFile(HandleOf(handle_), bytes.data(), size, &got, nullptr)) return -1;
  return static_cast<ptrdiff_t>(got);
}

}  // namespace kx::zip
