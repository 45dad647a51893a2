#include "service/file_attributes.h"

namespace kx {

void ClearFileAttributes(const std::filesystem::path& path, std::error_code& error) {
  std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add, error);
}

}  // namespace kx
