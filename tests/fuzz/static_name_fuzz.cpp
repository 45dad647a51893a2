// libFuzzer target for the names of files served from a folder: the js, css and img names and
// the kml folder's archive names. An accepted name is one plain file name of that folder (no
// separator, no "..", no NUL, one dot before an allowed extension), and every name the vehicle
// data request gives an archive is accepted.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

#include "common/civil_time.h"
#include "mapdata/kml_name.h"
#include "tests/fuzz/fuzz_check.h"
#include "web/kml_handler.h"
#include "web/static_file_handler.h"

namespace {

using kx::fuzz::Check;

// The name stays inside its folder however the file system reads it.
void CheckPlainFileName(std::string_view name, std::initializer_list<std::string_view> extensions) {
  Check(!name.empty() && name.find_first_of(std::string_view("/\\:\0", 4)) == std::string::npos);
  Check(name.find("..") == std::string_view::npos);
  const size_t dot = name.find('.');
  Check(dot != 0 && dot != std::string_view::npos && name.find('.', dot + 1) == std::string::npos);
  Check(std::find(extensions.begin(), extensions.end(), name.substr(dot + 1)) != extensions.end());
  const std::filesystem::path folder = "/service/js";
  const std::filesystem::path file = (folder / std::string(name)).lexically_normal();
  Check(file.parent_path() == folder && file.filename() == std::string(name));
}

void CheckStatic(std::string_view name, std::initializer_list<std::string_view> extensions) {
  if (kx::IsAcceptedStaticName(name, extensions)) CheckPlainFileName(name, extensions);
}

void CheckArchive(std::string_view name) {
  if (!kx::IsArchiveName(name)) return;
  CheckPlainFileName(name, {"kmz"});
  Check(name.find_first_not_of("0123456789ABCDEF") == name.size() - 4);
}

// The archive name made from the input as login, session and device, at a moment it picks.
void CheckMadeArchiveName(std::string_view input) {
  const size_t cut = input.size() / 2;
  uint32_t seed = 0;
  for (size_t i = 0; i < std::min<size_t>(input.size(), 4); ++i) {
    seed = seed << 8 | static_cast<unsigned char>(input[i]);
  }
  const kx::CivilTime moment{1 + int(seed % 9999),
                             1 + int(seed % 12),
                             1 + int(seed % 28),
                             int(seed % 24),
                             int(seed % 60),
                             int(seed % 60),
                             0};
  std::string name =
      kx::KmlNameAt(input.substr(0, cut), input.substr(cut), static_cast<int32_t>(seed), moment);
  Check(name.size() == 36 && name.ends_with(".kml"));
  name.replace(name.size() - 4, 4, ".kmz");
  Check(kx::IsArchiveName(name));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckStatic(input, {"js"});
  CheckStatic(input, {"css"});
  CheckStatic(input, {"gif", "png", "ico"});
  CheckArchive(input);
  CheckMadeArchiveName(input);
  return 0;
}
