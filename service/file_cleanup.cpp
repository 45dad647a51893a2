#include "service/file_cleanup.h"

#include <cctype>
#include <system_error>

#include "common/utf8_path.h"
#include "service/file_attributes.h"

namespace kx {

namespace fs = std::filesystem;

bool IsGeneratedMapFileName(const fs::path& name) {
  // The extension is what follows the last dot, also when the dot opens the name (".kml"), as
  // the wildcard "*.km*" of the Windows file functions has it; std::filesystem would call such
  // a name extensionless.
  const std::string text = Utf8FromPath(name);
  const size_t dot = text.rfind('.');
  if (dot == std::string::npos || text.size() - dot < 3) return false;
  return std::tolower(static_cast<unsigned char>(text[dot + 1])) == 'k' &&
         std::tolower(static_cast<unsigned char>(text[dot + 2])) == 'm';
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
