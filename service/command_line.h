// The service executable's command line.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kx {

enum class ServiceAction { Run, Install, Uninstall };

struct CommandLine {
  ServiceAction action = ServiceAction::Run;
  bool silent = false;
  // --folder DIR, made absolute and without a trailing separator.
  std::optional<std::filesystem::path> folder;
  // --session-timeout-ms N: for tests only, so that session expiry can be seen in seconds.
  std::optional<std::chrono::milliseconds> sessionTimeout;
  // --sign-in-block-ms N: for tests only, so that the end of a sign-in block can be seen in
  // seconds.
  std::optional<std::chrono::milliseconds> signInBlock;
  // --cleanup-hour-ms N: for tests and benchmarks only; the length of the hour in which
  // DelInterval and FileTimeToLive count, so that the clean-up can be seen in seconds.
  std::optional<std::chrono::milliseconds> cleanupHour;
};

// Switches are INSTALL, UNINSTALL and SILENT after "/" or "-", in any letter case. Throws
// std::invalid_argument with a usage text on anything else.
[[nodiscard]] CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace kx
