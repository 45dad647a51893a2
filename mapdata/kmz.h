// Packing a KML file of the kml folder into a KMZ archive beside it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

// Packs kmlFolder / kmlName into the archive kmlFolder / KmzName, where KmzName is kmlName (UTF-8)
// with every ".kml" replaced by ".kmz", and returns KmzName. The archive holds one deflated entry
// named by the source's full path in windows-1251 ("?" for what that code page lacks) with "/"
// separators; the files themselves are found by their own paths, whatever characters the folder
// holds. std::nullopt when the archive could not be made whole (the KML is missing, the folder
// cannot be written): there is then nothing to point the map at.
[[nodiscard]] std::optional<std::string> PackKmz(const std::filesystem::path& kmlFolder,
                                                 std::string_view kmlName);

}  // namespace kx
