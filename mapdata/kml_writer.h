// The KML documents the service writes itself when it works from the dispatcher's files: the
// last position of one vehicle and the last positions of a group, both made from the
// dispatcher's per-vehicle last-position files.
//
// A last-position file holds one placemark as the first node of its document element, with the
// children "name", "description" (beginning with the time stamp, description_time.h) and
// "Point"/"coordinates". Errors in a file (not well-formed, a missing element, an unreadable
// time) throw; the request then fails as a whole.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/vehicle_registry.h"

namespace kx {

// Where the writer reads and writes.
struct KmlWriterContext {
  const VehicleList& vehicles;
  // The dispatcher's data folder, ending with its path separator ("/" or "\"), or empty when
  // none is configured.
  std::string_view KXServerPath;
  std::filesystem::path kmlFolder;  // the service's kml folder
};

// The dispatcher's last-position file of a device: KXServerPath, "LastPosition", the separator
// KXServerPath ends with, the number zero-filled to 7 digits and ".kml"; where that file does not
// exist, the 6-digit form. Longer numbers keep all their digits. nullopt when neither exists or
// KXServerPath is empty.
[[nodiscard]] std::optional<std::filesystem::path> LastPositionFile(std::string_view KXServerPath,
                                                                    int32_t device);

// Copies the source to the kml folder as kmlName. When the device has a VehicleList entry, the
// copy's placemark gets the entry's display name and, as its description, the source's time moved
// by gmt hours in the host's formats; without an entry the copy stays as the dispatcher wrote it.
void PrepareLastPositionKml(const KmlWriterContext& context, const std::filesystem::path& source,
                            int32_t device, int32_t gmt, std::string_view kmlName);

// Writes kmlName in the kml folder: the XML declaration and document element of the first
// vehicle file found, holding one "Folder" with one "Placemark" (name, description, point) per
// pair of GroupVehicles that has a last-position file. Returns false, writing nothing, when no
// vehicle has a file. Each file is read through the scratch copy "_" + kmlName, which is gone
// when the function returns or throws.
[[nodiscard]] bool BuildGroupKml(const KmlWriterContext& context, std::string_view groupFile,
                                 const std::vector<std::string>& sessionVehicles, int32_t gmt,
                                 std::string_view kmlName);

}  // namespace kx
