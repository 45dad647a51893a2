// A file that a request names inside one of the service's folders (js, css, img, kml). A symbolic
// link placed in such a folder must not hand out a file from elsewhere (the accounts, the
// settings, any file of the machine), so a file is used only when its resolved location, links
// followed, still lies inside the folder's own resolved location.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace kx {

// The resolved path of the regular file `name` in `folder`; nullopt when there is none, when
// the file system refuses the name (too long for it, say), or when the file resolves to a place
// outside the folder. Links that stay inside the folder are followed.
[[nodiscard]] std::optional<std::filesystem::path> FileInFolder(const std::filesystem::path& folder,
                                                                std::string_view name);

}  // namespace kx
