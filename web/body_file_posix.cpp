#include "web/body_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace kx::web {
namespace {

[[noreturn]] void ThrowErrno(int error, const std::string& what) {
  throw std::system_error(error, std::generic_category(), what);
}

}  // namespace

std::unique_ptr<BodyFile> BodyFile::Open(const std::filesystem::path& path) {
  // O_NONBLOCK keeps a named pipe in a served folder from blocking the open; it does not change
  // how regular files are read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) ThrowErrno(errno, "cannot open " + path.string());
  auto file = std::make_unique<BodyFile>(OpenKey{}, fd, 0);
  struct stat status {};
  if (::fstat(fd, &status) != 0) ThrowErrno(errno, "cannot read " + path.string());
  if (!S_ISREG(status.st_mode)) {
    ThrowErrno(S_ISDIR(status.st_mode) ? EISDIR : EINVAL, "not a regular file: " + path.string());
  }
  file->size_ = static_cast<uint64_t>(status.st_size);
  return file;
}

BodyFile::~BodyFile() {
  ::close(static_cast<int>(handle_));
}

size_t BodyFile::Read(char* buffer, size_t capacity) {
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(handle_), buffer, capacity);
    if (got >= 0) return static_cast<size_t>(got);
    if (errno != EINTR) ThrowErrno(errno, "cannot read a reply file");
  }
}

}  // namespace kx::web
