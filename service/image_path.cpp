#include "service/image_path.h"

namespace kx {
namespace {

std::string_view Unquoted(std::string_view path) {
  if (path.empty() || path.front() != '"') return path;
  path.remove_prefix(1);
  return path.substr(0, path.find('"'));
}

bool IsDriveRoot(std::string_view folder) {
  return folder.size() == 3 && folder[1] == ':' && folder[2] == '\\';
}

}  // namespace

std::string FolderOfImagePath(std::string_view imagePath) {
  const std::string_view path = Unquoted(imagePath);
  const size_t lastBackslash = path.rfind('\\');
  if (lastBackslash == std::string_view::npos) return "";
  std::string_view folder = path.substr(0, lastBackslash + 1);
  while (!folder.empty() && folder.back() == '\\' && !IsDriveRoot(folder)) {
    folder.remove_suffix(1);
  }
  return std::string(folder);
}

}  // namespace kx
