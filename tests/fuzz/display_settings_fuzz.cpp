// libFuzzer target for the display-settings query: sizes are single words no longer than an INI
// value, and a query written from the values read reads back to the same values.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/cp1251.h"
#include "common/ini_file.h"
#include "tests/fuzz/fuzz_check.h"
#include "web/display_settings_query.h"

namespace {

using kx::fuzz::Check;

void CheckSize(const std::string& size) {
  const std::string bytes = kx::Cp1251FromUtf8(size);
  Check(kx::Utf8FromCp1251(bytes) == size);
  Check(!bytes.empty() && bytes.size() <= kx::kIniMaxValueLength);
  Check(bytes.find_first_of(" \t\r\n\v\f&") == std::string::npos);
}

std::string QueryOf(const kx::TUserParams& p) {
  return "tablewidth=" + kx::Cp1251FromUtf8(p.tablewidth) +
         "&tableheight=" + kx::Cp1251FromUtf8(p.tableheight) +
         "&CarsListWidth=" + kx::Cp1251FromUtf8(p.CarsListWidth) +
         "&GoogleZoom=" + std::to_string(p.GoogleZoom) +
         "&GoogleType=" + std::to_string(p.GoogleType);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view query(reinterpret_cast<const char*>(data), size);
  const kx::TUserParams read = kx::ReadDisplaySettingsQuery(query);
  CheckSize(read.tablewidth);
  CheckSize(read.tableheight);
  CheckSize(read.CarsListWidth);
  Check(read.Icons == kx::TUserParams{}.Icons);
  // "%20" is dropped before reading, so a size can only hold it when the query spelled it in a
  // way that the written query does not repeat.
  for (const std::string* text : {&read.tablewidth, &read.tableheight, &read.CarsListWidth}) {
    if (text->find("%20") != std::string::npos) return 0;
  }
  const kx::TUserParams again = kx::ReadDisplaySettingsQuery(QueryOf(read));
  Check(again.tablewidth == read.tablewidth && again.tableheight == read.tableheight &&
        again.CarsListWidth == read.CarsListWidth && again.GoogleZoom == read.GoogleZoom &&
        again.GoogleType == read.GoogleType);
  return 0;
}
