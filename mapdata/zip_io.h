// The file system as the archive writer needs it. One implementation per platform
// (zip_io_posix.cpp, ...); paths are the platform's own, so that any folder name works.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

#include "mapdata/zip_format.h"

namespace kx::zip {

// What the archive records about a source file.
struct SourceInfo {
  uint64_t size = 0;
  uint8_t dosAttributes = 0;  // kDosReadOnly, kDosDirectory, kDosArchive, ...
  FileTime lastWrite = 0;
  FileTime lastAccess = 0;
  FileTime creation = 0;
};

// The archive being written: created (an existing file is emptied) and held so that no other
// opener can use it meanwhile.
class ArchiveFile {
 public:
  ArchiveFile() = default;
  ~ArchiveFile();
  ArchiveFile(const ArchiveFile&) = delete;
  ArchiveFile& operator=(const ArchiveFile&) = delete;

  [[nodiscard]] bool Create(const std::filesystem::path& path);
  // Writes all the bytes at the current position.
  [[nodiscard]] bool Write(std::span<const uint8_t> bytes);
  [[nodiscard]] bool Seek(uint64_t offset);
  // Cuts the file at `size` bytes.
  [[nodiscard]] bool Truncate(uint64_t size);
  // Closes the file; false when the last writes could not be completed.
  [[nodiscard]] bool Close();

 private:
  intptr_t handle_ = -1;
};

// A source file, opened for reading and shared with other readers only.
class SourceFile {
 public:
  SourceFile() = default;
  ~SourceFile();
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  // Opens a regular file and reads its attributes, size and times.
  [[nodiscard]] bool Open(const std::filesystem::path& path);
  [[nodiscard]] const SourceInfo& Info() const { return info_; }
  // Reads up to bytes.size() bytes; returns the count, 0 at the end, -1 on an error.
  [[nodiscard]] ptrdiff_t Read(std::span<uint8_t> bytes);

 private:
  intptr_t handle_ = -1;
  SourceInfo info_;
};

}  // namespace kx::zip
