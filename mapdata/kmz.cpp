#include "mapdata/kmz.h"

#include <atomic>
#include <cstdint>

#include "common/cp1251.h"
#include "common/utf8_path.h"
#include "mapdata/zip.h"
#include "mapdata/zip_io.h"

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

// A name beside the archive, unique in this process, with the archive's ".kmz" extension so that
// the clean-up sweep also removes one that a crash left behind. It cannot be fetched: archive
// requests name hexadecimal digits and a single ".kmz".
std::filesystem::path TemporaryArchiveName(const std::filesystem::path& archive) {
  static std::atomic<uint64_t> counter{0};
  std::filesystem::path temporary = archive;
  temporary += ".part" + std::to_string(counter.fetch_add(1)) + ".kmz";
  return temporary;
}

}  // namespace

std::optional<std::string> PackKmz(const std::filesystem::path& kmlFolder,
                                   std::string_view kmlName) {
  std::string kmzName = ReplaceAll(kmlName, ".kml", ".kmz");
  const std::filesystem::path source = kmlFolder / PathFromUtf8(kmlName);
  const std::filesystem::path archive = kmlFolder / PathFromUtf8(kmzName);
  // The archive is written under a temporary name and renamed into place once complete, so that
  // a fetch during a repack of the same name reads the old archive or the new one, never half of
  // one.
  const std::filesystem::path temporary = TemporaryArchiveName(archive);
  TZip zip;
  if (zip.Create(temporary) != kZipOk) return std::nullopt;
  const bool added = zip.Add(Cp1251FromUtf8(Utf8FromPath(source)), source) == kZipOk;
  // Closed in any case, so that the archive file is released.
  const bool closed = zip.Close() == kZipOk;
  if (!added || !closed) {
    zip::DiscardArchive(temporary);
    return std::nullopt;
  }
  if (!zip::MoveArchiveIntoPlace(temporary, archive)) return std::nullopt;
  return kmzName;
}

}  // namespace kx
