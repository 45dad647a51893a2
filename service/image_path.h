// The service folder as the service manager's registered command line gives it.
#pragma once

#include <string>
#include <string_view>

namespace kx {

// The folder of the executable that a registered command line names, without trailing
// backslashes: `"C:\Program Files\KX\KXWebServer.exe"` gives `C:\Program Files\KX`. A path in
// quotes is taken up to its closing quote (the manager keeps the quotes, and arguments may
// follow). A drive root keeps its backslash (`C:\`), since `C:` alone means the drive's current
// directory. No backslash gives the empty text.
[[nodiscard]] std::string FolderOfImagePath(std::string_view imagePath);

}  // namespace kx
