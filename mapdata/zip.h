// TZip: writes a new ZIP archive (PKWARE's APPNOTE) entry by entry. Entries are deflated
// (method 8) unless their names say they are compressed archives already; each carries the
// source file's times in MS-DOS form and in an extended timestamp field, and its attributes.
// The writer never reads or updates an existing archive.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

namespace kx {

// Result codes of the TZip operations.
inline constexpr uint32_t kZipOk = 0;
inline constexpr uint32_t kZipCannotOpen = 0x00000200;  // archive or source cannot be opened
inline constexpr uint32_t kZipWriteFailed = 0x00000400;
inline constexpr uint32_t kZipBadArgument = 0x00010000;  // no writer, empty name or path
inline constexpr uint32_t kZipCompressorError = 0x05000000;

class TZip {
 public:
  TZip();
  ~TZip();
  TZip(const TZip&) = delete;
  TZip& operator=(const TZip&) = delete;

  // Creates the archive, replacing any file of that name and holding it against other openers.
  // Without success there is no writer.
  [[nodiscard]] uint32_t Create(const std::filesystem::path& archivePath);
  // Appends one entry made from the source file. The name (windows-1251 bytes, whatever the
  // path's own characters) is cut to 259 bytes, with "\" turned into "/". On failure nothing of
  // the entry stays in the archive.
  [[nodiscard]] uint32_t Add(std::string_view entryName, const std::filesystem::path& sourcePath);
  // Writes the central directory and the end record, closes the archive and releases the
  // writer, also when a write fails.
  [[nodiscard]] uint32_t Close();

 private:
  struct Writer;
  std::unique_ptr<Writer> writer_;
};

}  // namespace kx
