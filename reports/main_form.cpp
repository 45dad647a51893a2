#include "reports/main_form.h"

#include "dispatcher/velorin_automation.h"
#include "reports/device_list_export.h"
#include "reports/export_command.h"
#include "reports/message_box.h"

namespace kx {

void ExportFromWindow() {
  try {
    TVelorinAutomation link;
    (void)ExportDeviceList(link, ToolDeviceListFile());
  } catch (const DispatcherUnreachable&) {
    ShowMessageBox(kDispatcherStartError, kErrorCaption);
  } catch (const std::exception& error) {
    ShowErrorBox(error.what());
  }
}

}  // namespace kx
