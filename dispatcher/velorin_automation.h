// A dispatcher link: one connection to the dispatcher application's automation server.
//
// The link connects on its first operation (or on Connect) and releases the server when it is
// destroyed. It is used only on the thread that created it; debug builds check that. Groups,
// vehicles and trips are selected by 1-based position and reads refer to the selection.
//
// Failures: a link that cannot reach the server throws AutomationError with the system's text
// from its first operation. Reads and sets that the server refuses throw AutomationError with the
// check text (automation_error.h), unless the process asks the user first (link_settings.h) and
// the user chooses to carry on; a read then gives its type's zero value. The other operations
// return whether the server reported success; callers may ignore that and look at the files the
// operation leaves instead.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "dispatcher/automation_backend.h"
#include "dispatcher/automation_error.h"

namespace kx {

class TVelorinAutomation {
 public:
  // A link to the platform's server.
  TVelorinAutomation();
  explicit TVelorinAutomation(std::unique_ptr<AutomationBackend> backend);
  TVelorinAutomation(const TVelorinAutomation&) = delete;
  TVelorinAutomation& operator=(const TVelorinAutomation&) = delete;
  ~TVelorinAutomation();

  // Connects now unless connected; throws AutomationError with the system's text on failure.
  void Connect();

  [[nodiscard]] int32_t GroupsNum();
  void GroupIndex(int32_t group);  // selects a group, from 1
  [[nodiscard]] int32_t GroupCarsNum();
  void CarIndex(int32_t car);  // selects a vehicle of the selected group, from 1
  [[nodiscard]] std::string GroupName();
  [[nodiscard]] std::string GroupFileName();
  [[nodiscard]] int32_t CarDevice();
  [[nodiscard]] std::string CarModel();
  [[nodiscard]] std::string CarNumber();
  [[nodiscard]] double CarLatitude();  // kNoLatitude or below: no position

  bool WaitForInitializing();
  bool SetGroupIndexByFileName(std::string_view file_name);
  bool SetCarIndexByDevice(int32_t device);
  // Times as "dd.mm.yyyy hh:mm:ss".
  bool StartComputing(std::string_view group_file, int32_t device, std::string_view from,
                      std::string_view to, std::string_view source, int32_t mode);
  [[nodiscard]] int32_t ComputingBusy();  // non-zero while computing
  [[nodiscard]] int32_t TripsNum();
  void TripIndex(int32_t trip);  // selects a computed trip, from 1
  bool ExportTrackToFile(std::string_view path, int32_t format, std::string_view text1,
                         std::string_view text2, int32_t option1, int32_t option2, int32_t icons,
                         int32_t gmt, int32_t option3, int32_t option4);
  bool ExportCarsToFile(std::string_view path, std::string_view devices, int32_t format,
                        std::string_view text1, std::string_view text2, int32_t gmt,
                        int32_t option1, int32_t option2);

 private:
  // The connected backend, after the thread check.
  [[nodiscard]] AutomationBackend& Server();
  // Raises the check text of a refused read or set, or asks whether to.
  // `line` is the caller's source line, which the check text names. It comes from
  // __builtin_LINE rather than std::source_location, which clang before 15 cannot give with
  // libstdc++ (the fuzzing build uses clang).
  static void Check(std::string_view operation, const CallResult& result,
                    int line = __builtin_LINE());
  template <typename Value, typename Read>
  [[nodiscard]] Value ReadValue(std::string_view operation, Read read, int line = __builtin_LINE());

  std::unique_ptr<AutomationBackend> backend_;
  std::thread::id owner_;
  bool connected_ = false;
};

}  // namespace kx
