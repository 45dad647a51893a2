#include "mapdata/kmz.h"

#include "common/cp1251.h"
#include "mapdata/zip.h"

namespace kx {
namespace {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  size_t start = 0;
  for (size_t found; (found = text.find(from, start)) != std::string_view::npos;
       start = found + from.size()) {
    result.append(text, start, found - start);
    result.append(to);
  }
  result.append(text, start);
  return result;
}

}  // namespace

std::optional<std::string> PackKmz(const std::filesystem::path& kmlFolder,
                                   std::string_view kmlName) {
  std::string kmzName = ReplaceAll(kmlName, ".kml", ".kmz");
  const std::filesystem::path source = kmlFolder / kmlName;
  TZip zip;
  if (zip.Create(kmlFolder / kmzName) != kZipOk) return std::nullopt;
  const bool added = zip.Add(Cp1251FromUtf8(source.string()), source) == kZipOk;
  // Closed in any case, so that the archive file is released.
  const bool closed = zip.Close() == kZipOk;
  if (!added || !closed) return std::nullopt;
  return kmzName;
}

}  // namespace kx
