// Whole-file reads, writes and copies for the KML files of the kml folder.
//
// Writes and copies never reuse an existing file: they remove it and create a new one. Emptying
// a file in place and writing it again makes the file system flush it to disk as it is closed
// (ext4 does so to protect replace-by-truncate), which costs a request milliseconds of waiting;
// a new file is written back later like any other. A reader that still has the old file open
// keeps reading the old bytes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kx {

// The file's bytes; throws std::system_error naming the file when it cannot be read.
[[nodiscard]] std::string ReadFileBytes(const std::filesystem::path& path);

// Replaces the file with a new one holding the bytes; throws std::system_error naming the file
// when that fails.
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

// Replaces the target with a new copy of the source; throws std::filesystem::filesystem_error
// when that fails.
void CopyFileBytes(const std::filesystem::path& source, const std::filesystem::path& target);

}  // namespace kx
