// The dispatcher's last-position files for the demo's file mode: one KML document per vehicle in
// the folder "LastPosition", named by the device number zero-filled to 7 digits (or, for some
// vehicles, to 6). The document's first element is the vehicle's placemark with a name, a
// description that begins with the position's time ("yyyy-mm-dd hh:mm:ss", UTC) and a point.
#pragma once

#include <string>
#include <vector>

#include "demo/demo_fleet.h"

namespace kx::demo {

struct LastPositionFile {
  std::string name;   // e.g. "0001001.kml"
  std::string bytes;  // in the encoding its XML declaration names
};

// The files of the fleet's vehicles: most under the 7-digit name; one vehicle under both names
// (the 6-digit file holds an older position); one under the 6-digit name only; one vehicle with a
// position but no file. The vehicles of one group are written in windows-1251, the others in
// UTF-8.
[[nodiscard]] std::vector<LastPositionFile> MakeLastPositionFiles(const DemoData& data);

// The device number with at least this many digits, zero-filled on the left.
[[nodiscard]] std::string ZeroFilled(int32_t device, int digits);

}  // namespace kx::demo
