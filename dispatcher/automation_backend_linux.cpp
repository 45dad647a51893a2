// On Linux the dispatcher is the automation stand-in. Its data folder is named by
// KX_AUTOMATION_DATA, or is the folder "automation" next to the executable.
#include <cstdlib>

#include "dispatcher/automation_backend.h"
#include "dispatcher/automation_standin.h"
#include "common/executable_folder.h"

namespace kx {
namespace {

constexpr const char* kDataFolderVariable = "KX_AUTOMATION_DATA";
constexpr const char* kDefaultDataFolder = "automation";

[[nodiscard]] std::filesystem::path DataFolder() {
  const char* named = std::getenv(kDataFolderVariable);
  if (named != nullptr && *named != '\0') return named;
  try {
    return ExecutableFolder() / kDefaultDataFolder;
  } catch (const std::filesystem::filesystem_error&) {
    return {};  // an empty folder: the server counts as unreachable
  }
}

}  // namespace

std::unique_ptr<AutomationBackend> MakeAutomationBackend() {
  return std::make_unique<AutomationStandIn>(DataFolder());
}

}  // namespace kx
