#include "reports/device_list_export.h"

#include <algorithm>
#include <limits>
#include <string>

#include "common/ini_file.h"

namespace kx {
namespace {

// A dispatcher text as one INI value: a line break inside it would end the value and start a
// line of its own (a key or even a section header) in the file.
[[nodiscard]] std::string OneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return text;
}

// Writes the selected vehicle into section "dev<n>".
void WriteVehicle(TVelorinAutomation& link, IniFile& ini, int n) {
  const std::string section = "dev" + std::to_string(n);
  ini.WriteInteger(section, "devnum", link.CarDevice());
  ini.WriteString(section, "carmodel", OneLine(link.CarModel()));
  ini.WriteString(section, "carnumber", OneLine(link.CarNumber()));
  ini.WriteString(section, "groupname", OneLine(link.GroupName()));
  ini.WriteString(section, "groupfile", OneLine(link.GroupFileName()));
}

// Writes every vehicle from entry number n on; returns the next free number.
[[nodiscard]] int WriteAllVehicles(TVelorinAutomation& link, IniFile& ini, int n) {
  const int32_t groups = link.GroupsNum();
  for (int32_t g = 1; g <= groups; ++g) {
    link.GroupIndex(g);
    const int32_t cars = link.GroupCarsNum();
    for (int32_t c = 1; c <= cars; ++c) {
      link.CarIndex(c);
      if (n == std::numeric_limits<int>::max()) {
        throw std::runtime_error("the device list cannot number more entries");
      }
      WriteVehicle(link, ini, n);
      ++n;
    }
  }
  return n;
}

// Saves what an interrupted export wrote. The export's own error is the one to report, so a
// failure to save here is left unreported.
void SaveInterrupted(const IniFile& ini, const std::filesystem::path& file) noexcept {
  try {
    ini.Save(file);
  } catch (const std::exception&) {
  }
}

}  // namespace

int ExportDeviceList(TVelorinAutomation& link, const std::filesystem::path& file) {
  try {
    link.Connect();
  } catch (const AutomationError& error) {
    throw DispatcherUnreachable(error.what());
  }
  IniFile ini = IniFile::Load(file);
  // A negative count (a damaged file) would number entries below 0, which no reader looks at.
  const int first = std::max(0, ini.ReadInteger("main", "devCount", 0));
  ini.WriteInteger("main", "devCount", first);
  ini.Save(file);
  int next = first;
  try {
    next = WriteAllVehicles(link, ini, first);
  } catch (...) {
    SaveInterrupted(ini, file);
    throw;
  }
  ini.WriteInteger("main", "devCount", next);
  ini.Save(file);
  return next - first;
}

}  // namespace kx
