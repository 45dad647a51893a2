#include "reports/tool_links.h"

#include "common/executable_folder.h"
#include "common/ini_file.h"
#include "dispatcher/link_settings.h"
#include "reports/message_box.h"

namespace kx {
namespace {

constexpr const char* kQuestionCaption = "HRCHECK: ";
constexpr const char* kQuestionTail =
    "\nPress [Y]es to terminate,[N]o to continue and [C]ancel to Debug";

}  // namespace

std::filesystem::path ToolSettingsFile() {
  return ExecutableFolder() / "KXReports.ini";
}

void ConfigureToolLinks(bool ask_user) {
  ConfigureLinks({ReadAutomationProgId(IniFile::Load(ToolSettingsFile())),
                  ask_user ? &AskRaiseRefusedCall : nullptr});
}

bool AskRaiseRefusedCall(const std::string& check_text) {
  return AskYesNoCancel(check_text + kQuestionTail, kQuestionCaption) != Answer::kNo;
}

}  // namespace kx
