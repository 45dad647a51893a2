#include "service/file_cleanup.h"

#include <cctype>
#include <system_error>

#include "common/utf8_path.h"
#include "service/file_attributes.h"

namespace kx {

namespace fs = std::filesystem;

namespace {

// One entry: made writable, and removed when older than the limit. Errors leave the entry be.
void SweepEntry(const fs::directory_entry& entry, fs::file_time_type oldestKept) {
  if (!IsGeneratedMapFileName(entry.path().filename())) return;
  std::error_code error;
  if (entry.is_directory(error) || error) return;
  // Attributes are cleared first (read-only files become writable), whether or not the file is
  // old enough to go.
  ClearFileAttributes(entry.path(), error);
  const fs::file_time_type written = entry.last_write_time(error);
  if (error) return;
  if (written < oldestKept) fs::remove(entry.path(), error);
}

}  // namespace

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

void DeleteOldFiles(const fs::path& folder, std::chrono::milliseconds timeToLive,
                    fs::file_time_type now) noexcept {
  if (folder.empty()) return;
  try {
    // Compared as "written before now minus the time to live": a difference of two arbitrary
    // file times could overflow, the limit itself cannot for a time to live of kMaxCleanupHours.
    const fs::file_time_type oldestKept = now - timeToLive;
    std::error_code error;
    // A listing that fails, at the start or half-way, ends this sweep; the next one tries again.
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      SweepEntry(*it, oldestKept);
    }
  } catch (...) {
    // Out of memory while building a path: the sweep is skipped like any other failure.
  }
}

}  // namespace kx
