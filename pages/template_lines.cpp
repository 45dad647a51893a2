#include "pages/template_lines.h"

#include <array>

namespace kx {
namespace {

constexpr size_t kTemplateCount = static_cast<size_t>(PageTemplate::InetXPageCounters) + 1;

std::array<std::vector<std::string_view>, kTemplateCount> SplitAll() {
  std::array<std::vector<std::string_view>, kTemplateCount> all;
  for (size_t i = 0; i < kTemplateCount; ++i) {
    all[i] = SplitTemplateLines(TemplateText(static_cast<PageTemplate>(i)));
  }
  return all;
}

}  // namespace

std::vector<std::string_view> SplitTemplateLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

const std::vector<std::string_view>& TemplateLines(PageTemplate page) {
  static const auto kLines = SplitAll();
  return kLines[static_cast<size_t>(page)];
}

}  // namespace kx
