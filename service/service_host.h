// The operating system's side of the service: where the service folder is, how the service is
// registered, and how a stop is requested.
#pragma once

#include <filesystem>
#include <string>

namespace kx {

// The folder of the running executable, without a trailing separator; empty when unknown (files
// are then addressed relative to the current directory).
[[nodiscard]] std::filesystem::path GetServiceFolder();

// Registers the service to start the executable that is running now, wherever it lies and
// whatever its name, at boot; returns a message for the user. Throws std::runtime_error (or
// std::filesystem::filesystem_error when the executable's path is unknown) on failure.
[[nodiscard]] std::string InstallService();
// Removes the registration; returns a message for the user. Throws on failure.
[[nodiscard]] std::string UninstallService();

}  // namespace kx
