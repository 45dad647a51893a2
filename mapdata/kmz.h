// Packing a KML file of the kml folder into a KMZ archive beside it.
#pragma once

#include <string>
#include <string_view>

namespace kx {

// Packs kmlFolder + kmlName into the archive kmlFolder + KmzName, where KmzName is kmlName with
// every ".kml" replaced by ".kmz", and returns KmzName. kmlFolder ends with a path separator;
// texts are UTF-8. The archive holds one deflated entry named by the source's full path in
// windows-1251 with "/" separators. An existing archive of that name is replaced in one step:
// readers see the old archive or the new one, whole. Failures are not reported: the archive is
// then missing, old or without entries, which whoever fetches it finds out.
[[nodiscard]] std::string PackKmz(std::string_view kmlFolder, std::string_view kmlName);

}  // namespace kx
