// Paths to and from the program's UTF-8 text. On Windows a path is UTF-16 and a narrow string
// given to std::filesystem::path is read in the ANSI code page, so every conversion goes through
// these two functions, which mean UTF-8 on every platform.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kx {

[[nodiscard]] std::filesystem::path PathFromUtf8(std::string_view utf8);
[[nodiscard]] std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace kx
