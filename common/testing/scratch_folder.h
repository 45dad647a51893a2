// For tests: a fresh folder under the system's temporary folder, removed with everything in it.
#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace kx::testing {

class ScratchFolder {
 public:
  // A random name that no other folder has: creating it succeeds only for a new folder.
  ScratchFolder() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      path_ = base / ("kx-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(path_)) {
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
        return;
      }
    }
    throw std::runtime_error("cannot create a scratch folder in " + base.string());
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    // Folders a test made read-only are opened up first, so that everything goes.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  // A path inside the folder, as a UTF-8 string; the name is UTF-8 too.
  [[nodiscard]] std::string operator/(const std::string& name) const {
    const std::u8string path = (path_ / std::u8string(name.begin(), name.end())).u8string();
    return std::string(path.begin(), path.end());
  }

 private:
  static constexpr int kNameAttempts = 100;
  std::filesystem::path path_;
};

}  // namespace kx::testing
