// The two ways KXReports runs an export: from its window, and headless with "--export" for
// scripts, which reports the outcome on standard error and in the exit status.
#pragma once

#include <filesystem>
#include <ostream>

namespace kx {

// Exit statuses of the headless export.
inline constexpr int kExportDone = 0;
inline constexpr int kExportFailed = 1;
inline constexpr int kExportDispatcherUnreachable = 2;

// Text of the message box for a dispatcher that cannot be reached.
inline constexpr const char* kDispatcherStartError = "Ошибка запуска ПО Velorin";

// "DeviceList.ini" next to the tool's executable.
[[nodiscard]] std::filesystem::path ToolDeviceListFile();

// One export into ToolDeviceListFile() with a new dispatcher link; returns the exit status.
[[nodiscard]] int RunHeadlessExport(std::ostream& report);

}  // namespace kx
