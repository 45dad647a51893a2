// POSIX files for the archive writer. Sharing is emulated with advisory locks (flock): the
// archive holds an exclusive lock, a source a shared one, so two writers never meet on one file.
// Windows attributes map as the rest of the system maps them: read-only is the absence of the
// owner's write permission, and a regular file carries the archive attribute.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "mapdata/zip_io.h"

namespace kx::zip {
namespace {

constexpr FileTime kTicksPerSecond = 10'000'000;
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;

FileTime ToFileTime(const struct statx_timestamp& t) {
  return FileTime((t.tv_sec + kSecondsFrom1601To1970) * int64_t(kTicksPerSecond) + t.tv_nsec / 100);
}

int OpenLocked(const std::filesystem::path& path, int flags, int lock) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  if (::flock(fd, lock | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

void CloseHandle(intptr_t& handle) {
  if (handle >= 0) ::close(int(handle));
  handle = -1;
}

}  // namespace

ArchiveFile::~ArchiveFile() {
  CloseHandle(handle_);
}

bool ArchiveFile::Create(const std::filesystem::path& path) {
  CloseHandle(handle_);
  // A new file replaces an old archive of the same name (once no other writer holds it), so that
  // a reply still sending the old one reads it to its end instead of seeing it emptied.
  if (const int old = OpenLocked(path, O_WRONLY, LOCK_EX); old >= 0) {
    const bool removed = ::unlink(path.c_str()) == 0;
    ::close(old);
    if (!removed) return false;
  } else if (errno != ENOENT) {
    return false;
  }
  // Emptied only once the lock is held, so that a file in use by another writer stays intact.
  const int fd = OpenLocked(path, O_WRONLY | O_CREAT, LOCK_EX);
  if (fd < 0) return false;
  if (::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return false;
  }
  handle_ = fd;
  return true;
}

bool ArchiveFile::Write(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(int(handle_), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes = bytes.subspan(size_t(written));
  }
  return true;
}

bool ArchiveFile::Seek(uint64_t offset) {
  return ::lseek(int(handle_), off_t(offset), SEEK_SET) == off_t(offset);
}

bool ArchiveFile::Truncate(uint64_t size) {
  return ::ftruncate(int(handle_), off_t(size)) == 0;
}

bool ArchiveFile::Close() {
  const int fd = int(handle_);
  handle_ = -1;
  return ::close(fd) == 0;
}

SourceFile::~SourceFile() {
  CloseHandle(handle_);
}

bool SourceFile::Open(const std::filesystem::path& path) {
  CloseHandle(handle_);
  const int fd = OpenLocked(path, O_RDONLY, LOCK_SH);
  if (fd < 0) return false;
  struct statx status;
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &status) != 0 ||
      !S_ISREG(status.stx_mode)) {
    ::close(fd);
    return false;
  }
  handle_ = fd;
  info_.size = status.stx_size;
  info_.dosAttributes = kDosArchive | ((status.stx_mode & S_IWUSR) ? 0 : kDosReadOnly);
  info_.lastWrite = ToFileTime(status.stx_mtime);
  info_.lastAccess = ToFileTime(status.stx_atime);
  // Without a recorded birth time the last write time is the closest known bound.
  info_.creation =
      ToFileTime((status.stx_mask & STATX_BTIME) ? status.stx_btime : status.stx_mtime);
  return true;
}

ptrdiff_t SourceFile::Read(std::span<uint8_t> bytes) {
  for (;;) {
    const ssize_t got = ::read(int(handle_), bytes.data(), bytes.size());
    if (got < 0 && errno == EINTR) continue;
    return got;
  }
}

}  // namespace kx::zip
