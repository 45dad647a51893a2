#include "web/folder_file.h"

#include <algorithm>
#include <system_error>

#include "common/utf8_path.h"

namespace kx {
namespace {

// True when `file` lies below `folder`; both are resolved, so comparing their elements is
// enough.
bool LiesInside(const std::filesystem::path& file, const std::filesystem::path& folder) {
  const auto [inFolder, inFile] =
      std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
  return inFolder == folder.end() && inFile != file.end();
}

}  // namespace

std::optional<std::filesystem::path> FileInFolder(const std::filesystem::path& folder,
                                                  std::string_view name) {
  std::error_code error;
  const std::filesystem::path resolvedFolder = std::filesystem::canonical(folder, error);
  if (error) return std::nullopt;
  const std::filesystem::path resolved =
      std::filesystem::canonical(folder / PathFromUtf8(name), error);
  if (error || !LiesInside(resolved, resolvedFolder)) return std::nullopt;
  if (!std::filesystem::is_regular_file(resolved, error)) return std::nullopt;
  return resolved;
}

}  // namespace kx
