#include "pages/page_images.h"

#include <system_error>

namespace kx {
namespace {

bool FileExists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

}  // namespace

std::string PageImageBlock(const std::filesystem::path& imgFolder, std::string_view baseName) {
  const std::string image = std::string(baseName) + ".png";
  if (!FileExists(imgFolder / image)) return {};
  const std::string background = std::string(baseName) + "_b.png";
  const bool withBackground = FileExists(imgFolder / background);
  std::string out;
  if (withBackground) {
    out += "<div style='background-image: url(/kxserver/img?" + background + ")' width='100%'>";
  }
  out += "<img border='0' src='/kxserver/img?" + image + "'></img>";
  if (withBackground) out += "</div>";
  return out;
}

}  // namespace kx
