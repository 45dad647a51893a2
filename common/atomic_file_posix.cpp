#include "common/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace kx {
namespace {

[[noreturn]] void ThrowErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// Closes the descriptor and removes the file unless released.
class TemporaryFile {
 public:
  TemporaryFile(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!released_) ::unlink(path_.c_str());
  }
  int fd() const { return fd_; }
  std::filesystem::path Release() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) ThrowErrno("cannot close " + path_.string());
    released_ = true;
    return path_;
  }

 private:
  int fd_;
  std::filesystem::path path_;
  bool released_ = false;
};

void WriteAll(int fd, std::string_view bytes, const std::filesystem::path& path) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      ThrowErrno("cannot write " + path.string());
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

void SyncFolderOf(const std::filesystem::path& path) {
  const auto folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // the rename itself has happened; a folder we cannot open stays unsynced
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::filesystem::path WriteTemporaryBeside(const std::filesystem::path& target,
                                           std::string_view bytes) {
  std::string pattern = target.string() + kTemporaryMark + "XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) ThrowErrno("cannot create a temporary file beside " + target.string());
  TemporaryFile temporary(fd, pattern);
  struct stat existing {};
  const mode_t mode = ::stat(target.c_str(), &existing) == 0 ? existing.st_mode & 07777 : 0644;
  if (::fchmod(fd, mode) != 0) ThrowErrno("cannot set the mode of " + pattern);
  WriteAll(fd, bytes, pattern);
  if (::fsync(fd) != 0) ThrowErrno("cannot flush " + pattern);
  return temporary.Release();
}

void CommitTemporary(const std::filesystem::path& temporary, const std::filesystem::path& target) {
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw std::system_error(error, std::generic_category(), "cannot replace " + target.string());
  }
  SyncFolderOf(target);
}

void ReplaceFileAtomically(const std::filesystem::path& target, std::string_view bytes) {
  CommitTemporary(WriteTemporaryBeside(target, bytes), target);
}

}  // namespace kx
