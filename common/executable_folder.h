// The folder of the running executable, where the programs keep their files.
#pragma once

#include <filesystem>

namespace kx {

// The full path of the executable that is running, links resolved. Throws
// std::filesystem::filesystem_error when the system cannot tell.
[[nodiscard]] std::filesystem::path ExecutablePath();

// The folder of ExecutablePath(); throws as it does.
[[nodiscard]] std::filesystem::path ExecutableFolder();

}  // namespace kx
