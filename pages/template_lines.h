// The text of the built-in templates and their division into lines.
#pragma once

#include <string_view>
#include <vector>

#include "pages/page_template.h"

namespace kx {

// The template's bytes as built into the service (UTF-8 text).
[[nodiscard]] std::string_view TemplateText(PageTemplate page);

// Splits a template into its lines: each line ends at LF, a CR before the LF is dropped, and a
// final line without LF counts as a line too. A text ending with LF has no empty last line, so
// "a\n\n" is the two lines "a" and "".
[[nodiscard]] std::vector<std::string_view> SplitTemplateLines(std::string_view text);

// The lines of a built-in template, split once for the life of the process.
[[nodiscard]] const std::vector<std::string_view>& TemplateLines(PageTemplate page);

}  // namespace kx
