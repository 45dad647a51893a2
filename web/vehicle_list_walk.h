// The vehicle list of the add-user and save-user requests: device numbers, each followed by "-"
// (three vehicles: "12-40-7-").
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// How many times a device number is kept: 0 refuses it, more than 1 keeps it repeatedly.
using DeviceAcceptance = std::function<int(int device)>;

// Reads the numbers in order and keeps those the acceptance test passes. The walk stops at the
// first piece that is not a decimal 32-bit number: an empty piece ("--"), a number out of range,
// or a last number without a "-" behind it. What was kept before that stays.
[[nodiscard]] std::vector<int> WalkVehicleList(std::string_view list,
                                               const DeviceAcceptance& accept);

// The devices as decimal texts, the form of an account's vehicle list.
[[nodiscard]] std::vector<std::string> DeviceTexts(const std::vector<int>& devices);

}  // namespace kx
