// KXReports: without arguments the window; "--export" runs one export without a window. The
// dispatcher's server is named in KXReports.ini next to the executable.
#include <iostream>
#include <string_view>

#include "reports/export_command.h"
#include "reports/main_form.h"
#include "reports/tool_links.h"

namespace {

constexpr int kUsageError = 64;

}  // namespace

int main(int argc, char** argv) {
  // The window has a user to ask about a refused dispatcher call; a headless run raises at once.
  kx::ConfigureToolLinks(argc == 1);
  if (argc == 1) return kx::RunMainForm();
  if (argc == 2 && std::string_view(argv[1]) == "--export") return kx::RunHeadlessExport(std::cerr);
  std::cerr << "usage: KXReports [--export]\n";
  return kUsageError;
}
