// Linux: the service is a systemd unit named after the service; the unit folder can be moved
// with KX_SYSTEMD_UNIT_DIR (for tests and packaging).
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "common/executable_folder.h"
#include "service/foreground_run.h"
#include "service/kx_web_service.h"
#include "service/service_host.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

constexpr char kDefaultUnitFolder[] = "/etc/systemd/system";

fs::path UnitFolder() {
  const char* overridden = std::getenv("KX_SYSTEMD_UNIT_DIR");
  return overridden != nullptr && *overridden != '\0' ? fs::path(overridden)
                                                      : fs::path(kDefaultUnitFolder);
}

fs::path UnitFile() {
  return UnitFolder() / (std::string(kServiceName) + ".service");
}

bool UsesSystemFolder() {
  return UnitFolder() == fs::path(kDefaultUnitFolder);
}

// systemctl is asked to take the change only for the system's own unit folder.
void TellSystemd(const std::string& arguments) {
  if (!UsesSystemFolder()) return;
  const std::string command = "systemctl " + arguments + " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) {
    throw std::runtime_error("systemctl " + arguments + " failed");
  }
}

std::string UnitText(const fs::path& executable) {
  return std::string("[Unit]\n") + "Description=" + kServiceDisplayName + ": " +
         kServiceDescription + "\n" +
         "Wants=network-online.target\n"
         "After=network-online.target\n\n"
         "[Service]\n"
         "Type=simple\n"
         "ExecStart=\"" +
         executable.string() + "\"\n" +
         "Restart=on-failure\n"
         "RestartSec=5\n\n"
         "[Install]\n"
         "WantedBy=multi-user.target\n";
}

}  // namespace

fs::path GetServiceFolder() {
  try {
    return ExecutableFolder();
  } catch (const fs::filesystem_error&) {
    return {};
  }
}

std::string InstallService() {
  const fs::path unit = UnitFile();
  const std::string text = UnitText(ExecutablePath());
  std::ofstream file(unit, std::ios::trunc);
  file << text;
  file.close();
  if (!file) throw std::runtime_error("cannot write " + unit.string());
  TellSystemd("daemon-reload");
  TellSystemd(std::string("enable ") + kServiceName);
  return std::string("Service ") + kServiceName + " installed (" + unit.string() + ")";
}

std::string UninstallService() {
  const fs::path unit = UnitFile();
  if (!fs::exists(unit)) throw std::runtime_error(std::string(kServiceName) + " is not installed");
  TellSystemd(std::string("disable ") + kServiceName);
  std::error_code error;
  if (!fs::remove(unit, error)) throw std::runtime_error("cannot remove " + unit.string());
  TellSystemd("daemon-reload");
  return std::string("Service ") + kServiceName + " uninstalled";
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

void TellUser(const std::string& message, bool failed) {
  (failed ? std::cerr : std::cout) << message << "\n";
}

int HostService(TKXWEBService& service, std::shared_future<void> stopRequested) {
  return RunInForeground(service, stopRequested);
}

}  // namespace kx
