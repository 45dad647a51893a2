// The optional header and footer images of the main pages, looked up in the service's img folder
// on every page so that images dropped into the folder show on the next page.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kx {

// For baseName "headerIMG": nothing when img/headerIMG.png is missing; otherwise the image,
// wrapped in a division with img/headerIMG_b.png as its background when that file exists too.
[[nodiscard]] std::string PageImageBlock(const std::filesystem::path& imgFolder,
                                         std::string_view baseName);

}  // namespace kx
