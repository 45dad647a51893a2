#include "mapdata/kml_writer.h"

#include <cstdio>

#include "mapdata/description_time.h"
#include "mapdata/file_bytes.h"
#include "mapdata/group_vehicles.h"
#include "mapdata/kml_document.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

constexpr char kLastPositionFolder[] = "LastPosition";
constexpr char kScratchPrefix[] = "_";

// Digits the dispatcher zero-fills its file names to: 7, and before that 6.
constexpr int kLastPositionDigits[] = {7, 6};

fs::path LastPositionCandidate(std::string_view KXServerPath, int32_t device, int digits) {
  char number[32];
  std::snprintf(number, sizeof number, "%0*d", digits, device);
  std::string path(KXServerPath);
  path += kLastPositionFolder;
  path += KXServerPath.back();
  path += number;
  path += ".kml";
  return path;
}

KmlDocument LoadCopy(const fs::path& source, const fs::path& copy) {
  CopyFileBytes(source, copy);
  return KmlDocument::Parse(ReadFileBytes(copy));
}

void Save(const KmlDocument& document, const fs::path& path) {
  WriteFileBytes(path, document.Serialize());
}

// Removes the scratch copy on every way out.
class ScratchFile {
 public:
  explicit ScratchFile(fs::path path) : path_(std::move(path)) {}
  ~ScratchFile() {
    std::error_code ignored;
    fs::remove(path_, ignored);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  [[nodiscard]] const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// The group document's skeleton from the first vehicle file: its declaration and document
// element, emptied, with one "Folder".
// Read through the scratch copy like every vehicle file, so that the target is only ever written
// whole: a file that fails to parse leaves no copy of itself under the target's name.
KmlDocument GroupSkeleton(const fs::path& source, const fs::path& scratch) {
  KmlDocument document = LoadCopy(source, scratch);
  KmlElement root = document.Root();
  root.RemoveChildren();
  root.AppendChild("Folder");
  return document;
}

void AppendPlacemark(KmlDocument& group, const TCarsParams& vehicle, const KmlElement& source,
                     int32_t gmt) {
  KmlElement placemark = group.Root().RequiredChild("Folder").AppendChild("Placemark");
  placemark.AppendChild("name").SetText(vehicle.displayName);
  placemark.AppendChild("description")
      .SetText(UserDescription(source.RequiredChild("description").Text(), gmt));
  const std::string coordinates = source.RequiredChild("Point").RequiredChild("coordinates").Text();
  placemark.AppendChild("Point").AppendChild("coordinates").SetText(coordinates);
}

}  // namespace

std::optional<fs::path> LastPositionFile(std::string_view KXServerPath, int32_t device) {
  if (KXServerPath.empty()) return std::nullopt;
  for (const int digits : kLastPositionDigits) {
    fs::path candidate = LastPositionCandidate(KXServerPath, device, digits);
    if (fs::exists(candidate)) return candidate;
  }
  return std::nullopt;
}

void PrepareLastPositionKml(const KmlWriterContext& context, const fs::path& source, int32_t device,
                            int32_t gmt, std::string_view kmlName) {
  const fs::path target = context.kmlFolder / kmlName;
  const TCarsParams* vehicle = context.vehicles.FindDevice(device);
  if (vehicle == nullptr) {
    CopyFileBytes(source, target);
    return;
  }
  KmlDocument document = LoadCopy(source, target);
  KmlElement placemark = document.Root().FirstNode();
  std::optional<KmlElement> name = placemark.Child("name");
  if (!name) name = placemark.AppendChild("name");
  name->SetText(vehicle->displayName);
  KmlElement description = placemark.RequiredChild("description");
  description.SetText(UserDescription(description.Text(), gmt));
  Save(document, target);
}

bool BuildGroupKml(const KmlWriterContext& context, std::string_view groupFile,
                   const std::vector<std::string>& sessionVehicles, int32_t gmt,
                   std::string_view kmlName) {
  const fs::path target = context.kmlFolder / kmlName;
  const ScratchFile scratch(context.kmlFolder / (kScratchPrefix + std::string(kmlName)));
  std::optional<KmlDocument> group;
  for (const VehicleList::Entry* entry :
       GroupVehicles(sessionVehicles, context.vehicles, groupFile)) {
    const auto source = LastPositionFile(context.KXServerPath, entry->params.device);
    if (!source) continue;
    if (!group) group = GroupSkeleton(*source, scratch.Path());
    const KmlDocument vehicleFile = LoadCopy(*source, scratch.Path());
    AppendPlacemark(*group, entry->params, vehicleFile.Root().FirstNode(), gmt);
  }
  if (!group) return false;
  Save(*group, target);
  return true;
}

}  // namespace kx
