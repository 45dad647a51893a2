#include "web/vehicle_list_walk.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace kx {
namespace {

constexpr char kDeviceTerminator = '-';

// A piece of the list as a number: decimal digits only (a piece never holds the "-" that ends
// it), within the 32-bit signed range.
std::optional<int> DeviceNumber(std::string_view piece) {
  int value = 0;
  const char* end = piece.data() + piece.size();
  const auto [stop, error] = std::from_chars(piece.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

}  // namespace

std::vector<int> WalkVehicleList(std::string_view list, const DeviceAcceptance& accept) {
  std::vector<int> kept;
  while (!list.empty()) {
    const size_t terminator = list.find(kDeviceTerminator);
    if (terminator == std::string_view::npos) break;
    const std::optional<int> device = DeviceNumber(list.substr(0, terminator));
    if (!device) break;
    list.remove_prefix(terminator + 1);
    kept.insert(kept.end(), static_cast<size_t>(std::max(accept(*device), 0)), *device);
  }
  return kept;
}

std::vector<std::string> DeviceTexts(const std::vector<int>& devices) {
  std::vector<std::string> texts;
  texts.reserve(devices.size());
  for (int device : devices) texts.push_back(std::to_string(device));
  return texts;
}

}  // namespace kx
