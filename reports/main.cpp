// KXReports: without arguments the window; "--export" runs one export without a window.
#include <iostream>
#include <string_view>

#include "reports/export_command.h"
#include "reports/main_form.h"

namespace {

constexpr int kUsageError = 64;

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) return kx::RunMainForm();
  if (argc == 2 && std::string_view(argv[1]) == "--export") return kx::RunHeadlessExport(std::cerr);
  std::cerr << "usage: KXReports [--export]\n";
  return kUsageError;
}
