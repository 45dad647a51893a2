#include "common/atomic_file.h"

#include <system_error>

namespace kx {

void RemoveLeftoverTemporaries(const std::filesystem::path& target) noexcept {
  const std::filesystem::path folder =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  const std::filesystem::path::string_type prefix =
      target.filename().native() + std::filesystem::path(kTemporaryMark).native();
  std::error_code error;
  // Iterated with error codes throughout: the range-for form throws, and this function may not.
  std::filesystem::directory_iterator entry(folder, error);
  for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
    const std::filesystem::path::string_type name = entry->path().filename().native();
    // A leftover that cannot be removed is tried again at the next start.
    std::error_code ignored;
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
        entry->is_regular_file(ignored)) {
      std::filesystem::remove(entry->path(), ignored);
    }
  }
}

}  // namespace kx
