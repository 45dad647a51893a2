// Whole-file reads and writes for the KML files of the kml folder.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kx {

// The file's bytes; throws std::system_error naming the file when it cannot be read.
[[nodiscard]] std::string ReadFileBytes(const std::filesystem::path& path);

// Creates or truncates the file and writes the bytes; throws std::system_error naming the file
// when that fails.
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace kx
