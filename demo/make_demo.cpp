// kx_make_demo: writes the demo data into a service folder:
//   automation/fleet.ini, automation/tracks/<device>.csv   the automation stand-in's data
//   DeviceList.ini                                        the same vehicles for the file mode
//   dispatcher/LastPosition/*.kml                         the dispatcher's last-position files
// The week of tracks ends at the current hour, or at the time given with --end (UTC), which makes
// the output reproducible.
#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "common/atomic_file.h"
#include "demo/demo_fleet.h"
#include "demo/last_position_files.h"
#include "dispatcher/automation_standin.h"
#include "reports/device_list_export.h"

namespace kx::demo {
namespace {

namespace fs = std::filesystem;

constexpr int kUsageError = 64;

struct Options {
  fs::path folder;
  UtcSeconds end = 0;
};

[[nodiscard]] UtcSeconds CurrentHour() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::hours>(now).count() * kSecondsPerHour;
}

[[nodiscard]] std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  options.end = CurrentHour();
  if (argc == 4 && std::string_view(argv[2]) == "--end") {
    const auto end = ParseIsoDateTime(argv[3]);
    if (!end) return std::nullopt;
    options.end = *end;
  } else if (argc != 2) {
    return std::nullopt;
  }
  options.folder = argv[1];
  return options;
}

void WriteTracks(const DemoData& data, const fs::path& folder) {
  fs::create_directories(folder);
  for (const auto& [device, track] : data.tracks) {
    std::string text;
    for (const TrackPoint& point : track) text += FormatTrackLine(point);
    ReplaceFileAtomically(folder / (std::to_string(device) + ".csv"), text);
  }
}

void WriteLastPositions(const DemoData& data, const fs::path& folder) {
  fs::create_directories(folder);
  for (const LastPositionFile& file : MakeLastPositionFiles(data)) {
    ReplaceFileAtomically(folder / file.name, file.bytes);
  }
}

// The device list comes from the stand-in through the export of KXReports, so that it holds
// exactly what the tool would write.
[[nodiscard]] int WriteDeviceList(const fs::path& automation, const fs::path& file) {
  fs::remove(file);
  TVelorinAutomation link(std::make_unique<AutomationStandIn>(automation));
  return ExportDeviceList(link, file);
}

void MakeDemo(const Options& options) {
  const DemoData data = MakeDemoData(options.end);
  const fs::path automation = options.folder / "automation";
  fs::create_directories(automation);
  WriteFleet(data.fleet).Save(automation / "fleet.ini");
  WriteTracks(data, automation / "tracks");
  WriteLastPositions(data, options.folder / "dispatcher" / "LastPosition");
  const int vehicles = WriteDeviceList(automation, options.folder / "DeviceList.ini");
  std::cerr << "Wrote " << vehicles << " vehicles in " << data.fleet.groups.size()
            << " groups, tracks up to " << FormatIsoDateTime(options.end) << " UTC, into "
            << options.folder.string() << "\n";
}

}  // namespace
}  // namespace kx::demo

int main(int argc, char** argv) {
  const auto options = kx::demo::ParseOptions(argc, argv);
  if (!options) {
    std::cerr << "usage: kx_make_demo SERVICE_FOLDER [--end \"yyyy-mm-dd hh:mm:ss\"]\n";
    return kx::demo::kUsageError;
  }
  try {
    kx::demo::MakeDemo(*options);
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "kx_make_demo: " << error.what() << "\n";
    return 1;
  }
}
