#include "reports/export_command.h"

#include "common/executable_folder.h"
#include "common/utf8_path.h"
#include "reports/device_list_export.h"

namespace kx {

std::filesystem::path ToolDeviceListFile() {
  return ExecutableFolder() / "DeviceList.ini";
}

int RunHeadlessExport(std::ostream& report) {
  try {
    const std::filesystem::path file = ToolDeviceListFile();
    TVelorinAutomation link;
    const int vehicles = ExportDeviceList(link, file);
    report << "Exported " << vehicles << " vehicles into " << Utf8FromPath(file) << "\n";
    return kExportDone;
  } catch (const DispatcherUnreachable& error) {
    report << kDispatcherStartError << ": " << error.what() << "\n";
    return kExportDispatcherUnreachable;
  } catch (const std::exception& error) {
    report << error.what() << "\n";
    return kExportFailed;
  }
}

}  // namespace kx
