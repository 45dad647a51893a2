// The folder of the running executable, where the programs keep their files.
#pragma once

#include <filesystem>

namespace kx {

// Throws std::filesystem::filesystem_error when the system cannot tell.
[[nodiscard]] std::filesystem::path ExecutableFolder();

}  // namespace kx
