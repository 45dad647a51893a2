// The seam between a dispatcher link and the dispatcher's automation server. Each platform
// supplies one backend: on Windows the COM server through late binding, on Linux the automation
// stand-in that serves the same operations from a data folder.
//
// Operations mirror the server's interface one to one. Each returns the server's status; reads
// deliver their value through an out parameter, which is left alone on failure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kx {

// Status codes in the server's (HRESULT) form: negative values are failures.
inline constexpr int32_t kStatusUnspecifiedFailure = static_cast<int32_t>(0x80004005u);
inline constexpr int32_t kStatusInvalidArgument = static_cast<int32_t>(0x80070057u);
inline constexpr int32_t kStatusServerExecutionFailed = static_cast<int32_t>(0x80080005u);
inline constexpr int32_t kStatusDisconnected = static_cast<int32_t>(0x80010108u);

// Latitude the server reports for a vehicle without a position: this value or anything below.
inline constexpr double kNoLatitude = -777;

struct CallResult {
  int32_t code = 0;
  std::string text;  // the system's text for a failure; may be empty

  [[nodiscard]] bool Failed() const { return code < 0; }
};

class AutomationBackend {
 public:
  virtual ~AutomationBackend() = default;

  // Attaches to the running server or starts one.
  [[nodiscard]] virtual CallResult Connect() = 0;

  [[nodiscard]] virtual CallResult GroupsNum(int32_t& value) = 0;
  [[nodiscard]] virtual CallResult SetGroupIndex(int32_t group) = 0;
  [[nodiscard]] virtual CallResult GroupCarsNum(int32_t& value) = 0;
  [[nodiscard]] virtual CallResult SetCarIndex(int32_t car) = 0;
  [[nodiscard]] virtual CallResult GroupName(std::string& value) = 0;
  [[nodiscard]] virtual CallResult GroupFileName(std::string& value) = 0;
  [[nodiscard]] virtual CallResult CarDevice(int32_t& value) = 0;
  [[nodiscard]] virtual CallResult CarModel(std::string& value) = 0;
  [[nodiscard]] virtual CallResult CarNumber(std::string& value) = 0;
  [[nodiscard]] virtual CallResult CarLatitude(double& value) = 0;
  [[nodiscard]] virtual CallResult WaitForInitializing() = 0;
  [[nodiscard]] virtual CallResult SetGroupIndexByFileName(std::string_view file_name) = 0;
  [[nodiscard]] virtual CallResult SetCarIndexByDevice(int32_t device) = 0;
  [[nodiscard]] virtual CallResult StartComputing(std::string_view group_file, int32_t device,
                                                  std::string_view from, std::string_view to,
                                                  std::string_view source, int32_t mode) = 0;
  [[nodiscard]] virtual CallResult ComputingBusy(int32_t& value) = 0;
  [[nodiscard]] virtual CallResult TripsNum(int32_t& value) = 0;
  [[nodiscard]] virtual CallResult SetTripIndex(int32_t trip) = 0;
  // The six numbers after the texts: two options, the icon mask, the GMT offset in hours, two
  // options.
  [[nodiscard]] virtual CallResult ExportTrackToFile(std::string_view path, int32_t format,
                                                     std::string_view text1, std::string_view text2,
                                                     int32_t option1, int32_t option2,
                                                     int32_t icons, int32_t gmt, int32_t option3,
                                                     int32_t option4) = 0;
  // The devices are decimal numbers joined by ","; the three numbers after the texts: the GMT
  // offset in hours and two options.
  [[nodiscard]] virtual CallResult ExportCarsToFile(std::string_view path, std::string_view devices,
                                                    int32_t format, std::string_view text1,
                                                    std::string_view text2, int32_t gmt,
                                                    int32_t option1, int32_t option2) = 0;
};

// The platform's backend, not yet connected.
[[nodiscard]] std::unique_ptr<AutomationBackend> MakeAutomationBackend();

}  // namespace kx
