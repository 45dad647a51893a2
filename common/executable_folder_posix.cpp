#include "common/executable_folder.h"

namespace kx {

std::filesystem::path ExecutablePath() {
  return std::filesystem::read_symlink("/proc/self/exe");
}

std::filesystem::path ExecutableFolder() {
  return ExecutablePath().parent_path();
}

}  // namespace kx
