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

std::string PackKmz(std::string_view kmlFolder, std::string_view kmlName) {
  std::string kmzName = ReplaceAll(kmlName, ".kml", ".kmz");
  const std::string source = Cp1251FromUtf8(std::string(kmlFolder) + std::string(kmlName));
  const std::string archive = Cp1251FromUtf8(std::string(kmlFolder) + kmzName);
  // Each step's result is deliberately left unexamined: a failed step leaves no archive or an
  // unusable one, and the archive's reader reports that.
  TZip zip;
  (void)zip.Create(archive);
  (void)zip.Add(source, source);
  (void)zip.Close();
  return kmzName;
}

}  // namespace kx
