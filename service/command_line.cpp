#include "service/command_line.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "common/ini_file.h"
#include "common/utf8_path.h"

namespace kx {
namespace {

constexpr char kUsage[] = "usage: KXWebServer [--folder DIR] [/INSTALL | /UNINSTALL] [/SILENT]";

// The switch name of "/X" or "-X" in upper case, or empty for other arguments.
std::string SwitchName(const std::string& argument) {
  if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) return "";
  std::string name = argument.substr(1);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return name;
}

// The service folder as the trace, the dispatcher's export paths and the archive entry names
// show it: absolute (relative to the current directory) and without a trailing separator.
std::filesystem::path ServiceFolderArgument(const std::string& text) {
  std::filesystem::path folder = std::filesystem::absolute(PathFromUtf8(text)).lexically_normal();
  while (!folder.has_filename() && folder.has_relative_path()) folder = folder.parent_path();
  return folder;
}

// The value of a test switch that shortens a time: a whole number of milliseconds, at least 1.
std::chrono::milliseconds PositiveMilliseconds(const std::string& text) {
  const auto value = ParseIniInteger(text);
  if (!value || *value < 1) throw std::invalid_argument(kUsage);
  return std::chrono::milliseconds(*value);
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (argument == "--folder" && hasValue) {
      line.folder = ServiceFolderArgument(arguments[++i]);
      continue;
    }
    if (argument == "--session-timeout-ms" && hasValue) {
      line.sessionTimeout = PositiveMilliseconds(arguments[++i]);
      continue;
    }
    if (argument == "--sign-in-block-ms" && hasValue) {
      line.signInBlock = PositiveMilliseconds(arguments[++i]);
      continue;
    }
    if (argument == "--cleanup-hour-ms" && hasValue) {
      line.cleanupHour = PositiveMilliseconds(arguments[++i]);
      continue;
    }
    const std::string name = SwitchName(argument);
    if (name == "INSTALL") {
      line.action = ServiceAction::Install;
    } else if (name == "UNINSTALL") {
      line.action = ServiceAction::Uninstall;
    } else if (name == "SILENT") {
      line.silent = true;
    } else {
      throw std::invalid_argument(kUsage);
    }
  }
  return line;
}

}  // namespace kx
