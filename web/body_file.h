// A file sent as a reply body: opened when the handler answers, read while the reply is sent and
// closed afterwards. Several replies may read the same file at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace kx::web {

class BodyFile {
  struct OpenKey {
    explicit OpenKey() = default;
  };

 public:
  // Opens the file for reading; throws std::system_error when it cannot be opened or is not a
  // regular file.
  [[nodiscard]] static std::unique_ptr<BodyFile> Open(const std::filesystem::path& path);
  // Only Open can call this (the key is private); it is public for std::make_unique.
  BodyFile(OpenKey, intptr_t handle, uint64_t size) : handle_(handle), size_(size) {}
  ~BodyFile();
  BodyFile(const BodyFile&) = delete;
  BodyFile& operator=(const BodyFile&) = delete;

  [[nodiscard]] uint64_t Size() const { return size_; }
  // Reads up to `capacity` bytes at the current position; 0 at the end. Throws on a read error.
  [[nodiscard]] size_t Read(char* buffer, size_t capacity);

 private:
  intptr_t handle_;  // the platform's file descriptor or handle
  uint64_t size_;
};

}  // namespace kx::web
