// The attributes of a file as the operating system keeps them: on Windows read-only, hidden,
// system and archive; on POSIX systems read-only is the absence of the owner's write permission.
#pragma once

#include <filesystem>
#include <system_error>

namespace kx {

// Clears the file's attributes: afterwards it is writable (and on Windows neither hidden nor a
// system file). Sets `error` on failure.
void ClearFileAttributes(const std::filesystem::path& path, std::error_code& error);

}  // namespace kx
