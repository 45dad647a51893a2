// The export of KXReports: copies the dispatcher's vehicle list (every vehicle of every group)
// into a device list file, appending to what the file holds.
//
// The file's [main] devCount is the first free entry number n. Every vehicle becomes the section
// "dev<n>" with devnum, carmodel, carnumber, groupname and groupfile, each read from the dispatcher
// just before it is written; devCount is then raised past the new entries. Vehicles exported
// before are written again as new entries.
//
// The file is replaced atomically, never left half-written: once when the export starts (devCount
// written back, which creates a missing file), and once at its end. When a dispatcher call or a
// write fails in between, the entries made so far are saved with the devCount the export found,
// so readers ignore them and the next export writes over them.
#pragma once

#include <filesystem>
#include <stdexcept>

#include "dispatcher/velorin_automation.h"

namespace kx {

// The dispatcher could not be reached; nothing was written.
class DispatcherUnreachable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs one export into the file; returns the number of vehicles written. Throws
// DispatcherUnreachable, AutomationError for a failing dispatcher call, and std::exception for a
// file that cannot be read or written.
[[nodiscard]] int ExportDeviceList(TVelorinAutomation& link, const std::filesystem::path& file);

}  // namespace kx
