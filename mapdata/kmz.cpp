#include "mapdata/kmz.h"

#include <atomic>
#include <cstdint>

#include "common/cp1251.h"
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
std::string TemporaryArchiveName(const std::string& archive) {
  static std::atomic<uint64_t> counter{0};
  return archive + ".part" + std::to_string(counter.fetch_add(1)) + ".kmz";
}

}  // namespace

std::string PackKmz(std::string_view kmlFolder, std::string_view kmlName) {
  std::string kmzName = ReplaceAll(kmlName, ".kml", ".kmz");
  const std::string source = Cp1251FromUtf8(std::string(kmlFolder) + std::string(kmlName));
  const std::string archive = Cp1251FromUtf8(std::string(kmlFolder) + kmzName);
  // The archive is written under a temporary name and renamed into place once complete, so that
  // a fetch during a repack of the same name reads the old archive or the new one, never half of
  // one. A source that cannot be added still gives an archive (without entries), as it always
  // did; only a failed write keeps the old archive. The reader of the archive reports failures.
  const std::string temporary = TemporaryArchiveName(archive);
  TZip zip;
  if (zip.Create(temporary) != kZipOk) return kmzName;
  (void)zip.Add(source, source);
  if (zip.Close() == kZipOk) {
    (void)zip::MoveArchiveIntoPlace(temporary, archive);
  } else {
    zip::DiscardArchive(temporary);
  }
  return kmzName;
}

}  // namespace kx
