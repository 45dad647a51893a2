#include "service/file_cleanup.h"

#include <cctype>
#include <system_error>

#include "service/file_attributes.h"

namespace kx {

namespace fs = std::filesystem;

bool IsGeneratedMapFileName(const fs::path& name) {
  const std::string extension = name.extension().string();  // with its dot
  return extension.size() >= 3 && std::tolower(static_cast<unsigned char>(extension[1])) == 'k' &&
         std::tolower(static_cast<unsigned char>(extension[2])) == 'm';
}

void DeleteOldFiles(const fs::path& folder, std::chrono::hours timeToLive, fs::file_time_type now) {
  if (folder.empty()) return;
  std::error_code ec;
  fs::directory_iterator entries(folder, ec);
  if (ec) return;
  for (const fs::directory_entry& entry : entries) {
    if (!IsGeneratedMapFileName(entry.path().filename())) continue;
    std::error_code fileError;
    if (entry.is_directory(fileError) || fileError) continue;
    // Attributes are cleared first (read-only files become writable), whether or not the file is
    // old enough to go.
    ClearFileAttributes(entry.path(), fileError);
    const fs::file_time_type written = entry.last_write_time(fileError);
    if (fileError) continue;
    if (now - written > timeToLive) fs::remove(entry.path(), fileError);
  }
}

}  // namespace kx
