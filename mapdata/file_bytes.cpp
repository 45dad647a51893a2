#include "mapdata/file_bytes.h"

#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

#include "common/utf8_path.h"

namespace kx {
namespace {

[[noreturn]] void Fail(std::string_view what, const std::filesystem::path& path) {
  const int error = errno != 0 ? errno : EIO;
  throw std::system_error(error, std::generic_category(),
                          std::string(what) + " \"" + Utf8FromPath(path) + "\"");
}

}  // namespace

std::string ReadFileBytes(const std::filesystem::path& path) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot open", path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) Fail("cannot read", path);
  return std::move(bytes).str();
}

void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::filesystem::remove(path);
  errno = 0;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) Fail("cannot create", path);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) Fail("cannot write", path);
}

void CopyFileBytes(const std::filesystem::path& source, const std::filesystem::path& target) {
  std::filesystem::remove(target);
  std::filesystem::copy_file(source, target);
}

}  // namespace kx
