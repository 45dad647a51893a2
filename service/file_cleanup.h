// Removal of the generated map files (.kml, .kmz) once they are older than their time to live.
#pragma once

#include <chrono>
#include <filesystem>

namespace kx {

// One sweep over the folder: every regular file whose extension begins with "km" (any letter
// case) has its attributes cleared, and is deleted when its last write is more than `timeToLive`
// before `now`. A file exactly at the limit stays. Errors for one file (it vanished, it cannot be
// deleted) are ignored and the sweep goes on; an error listing the folder (a missing folder, a
// failing read of its entries) ends the sweep quietly. Never throws: a sweep runs on the main
// thread's event loop, which an exception would end. The time to live is at most kMaxCleanupHours.
void DeleteOldFiles(
    const std::filesystem::path& folder, std::chrono::milliseconds timeToLive,
    std::filesystem::file_time_type now = std::filesystem::file_time_type::clock::now()) noexcept;

// Whether a directory entry name is one of the generated map files the sweep considers.
[[nodiscard]] bool IsGeneratedMapFileName(const std::filesystem::path& name);

}  // namespace kx
