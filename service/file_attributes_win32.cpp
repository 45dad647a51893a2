#include <windows.h>

#include "service/file_attributes.h"

namespace kx {

void ClearFileAttributes(const std::filesystem::path& path, std::error_code& error) {
  if (SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL)) {
    error.clear();
  } else {
    error.assign(static_cast<int>(GetLastError()), std::system_category());
  }
}

}  // namespace kx
