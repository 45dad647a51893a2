#include "common/executable_folder.h"

namespace kx {

std::filesystem::path ExecutableFolder() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

}  // namespace kx
