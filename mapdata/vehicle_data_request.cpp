#include "mapdata/vehicle_data_request.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/ini_file.h"
#include "common/main_thread_gate.h"
#include "common/utf8_path.h"
#include "dispatcher/velorin_automation.h"
#include "mapdata/car_query.h"
#include "mapdata/group_vehicles.h"
#include "mapdata/kml_name.h"
#include "mapdata/kml_writer.h"
#include "mapdata/kmz.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

// How often a track request asks the dispatcher whether it has finished computing.
constexpr auto kComputingPollInterval = std::chrono::milliseconds(100);

constexpr char kUsersFile[] = "Users.ini";
constexpr char kIconsKey[] = "Icons";
constexpr char kKmlFolder[] = "kml";
constexpr char kArchivePath[] = "/kxserver/kml?";

// The dispatcher's arguments of the calls this request makes. The numbers passed to the two
// export calls are the dispatcher's format and option values for the map's KML files; they are
// passed unchanged, as are the two texts, which the map's files leave empty.
constexpr char kTrackSource[] = "GSM";
constexpr int32_t kComputeMode = 0;
constexpr int32_t kFirstTrip = 1;
constexpr char kNoExportText[] = "";
constexpr int32_t kTrackFormat = 1;
constexpr int32_t kTrackOption1 = 0;
constexpr int32_t kTrackOption2 = 0;
constexpr int32_t kTrackOption3 = 1;
constexpr int32_t kTrackOption4 = 1;
constexpr int32_t kPositionsFormat = 0;
constexpr int32_t kPositionsOption1 = 0;
constexpr int32_t kPositionsOption2 = 1;

UtcSeconds UtcNow() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

// The user's icon mask, kept in memory (not for the shared guest account) and in Users.ini.
// Nearly every track request repeats the mask the file already holds; such a request leaves the
// file alone, so that it does not make every other request wait for a rewrite and flush of
// Users.ini inside the gate.
void StoreIcons(ServiceState& state, const std::string& login, int32_t icons) {
  MainThreadSection gate;
  if (login != kGuestLogin) state.userParams.SetUserIcons(login, icons);
  const fs::path file = state.File(kUsersFile);
  IniFile users = IniFile::Load(file);
  const std::string mask = std::to_string(icons);
  if (users.ReadString(login, kIconsKey, "") == mask) return;
  users.WriteString(login, kIconsKey, mask);
  users.Save(file);
}

// The part of one request that runs inside the gate: the rights check, the branch that makes
// the KML file, and the answer.
class CarRequest {
 public:
  CarRequest(ServiceState& state, const CarCaller& caller, CarQuery& query)
      : state_(state),
        caller_(caller),
        query_(query),
        kmlFolder_(state.File(kKmlFolder)),
        sessionVehicles_(state.sessions.SessionVehicles(caller.sessionId)) {}

  std::string Answer() {
    ResolveGroupFile();
    const bool automation = state_.settings.UseKX != 0;
    if (query_.DevNum > 0 && MayView()) {
      return automation ? VehicleFromDispatcher() : VehicleFromFiles();
    }
    if (query_.Kind == kCarGroup) {
      if (query_.GroupFile.empty()) return kCarNoData;
      return automation ? GroupFromDispatcher() : GroupFromFiles();
    }
    return query_.Reply.empty() ? kCarNotPermitted : query_.Reply;
  }

 private:
  void ResolveGroupFile() {
    if (query_.Kind != kCarGroup || !query_.groupNumber) return;
    const std::string* file = state_.groups.At(*query_.groupNumber);
    if (file == nullptr) {
      FailCarQuery(query_);
      return;
    }
    query_.GroupFile = *file;
  }

  // Administrators may view every device, everybody else the devices of their session.
  [[nodiscard]] bool MayView() const {
    if (state_.sessions.SessionRights(caller_.sessionId) == kRightsAdministrator) return true;
    return std::find(Vehicles().begin(), Vehicles().end(), std::to_string(query_.DevNum)) !=
           Vehicles().end();
  }

  [[nodiscard]] const std::vector<std::string>& Vehicles() const {
    static const std::vector<std::string> kNone;
    return sessionVehicles_ != nullptr ? *sessionVehicles_ : kNone;
  }

  void NameKmlFile() {
    query_.KmlName = MakeKmlName(caller_.login, caller_.sessionId, query_.DevNum);
  }

  [[nodiscard]] std::string KmlPath() const {
    return Utf8FromPath(kmlFolder_ / PathFromUtf8(query_.KmlName));
  }

  [[nodiscard]] std::string VehicleFromDispatcher() {
    TVelorinAutomation link;
    link.WaitForInitializing();
    const TCarsParams* vehicle = state_.vehicles.FindDevice(query_.DevNum);
    if (vehicle == nullptr) return PackedAnswer();
    link.SetGroupIndexByFileName(vehicle->groupFileName);
    link.SetCarIndexByDevice(query_.DevNum);
    if (query_.Kind == kCarTrack) {
      ExportTrack(link, *vehicle);
    } else {
      ExportLastPosition(link);
    }
    return PackedAnswer();
  }

  void ExportTrack(TVelorinAutomation& link, const TCarsParams& vehicle) {
    link.StartComputing(vehicle.groupFileName, query_.DevNum,
                        FormatDispatcherDateTime(query_.Begin),
                        FormatDispatcherDateTime(query_.End), kTrackSource, kComputeMode);
    while (link.ComputingBusy() != 0) std::this_thread::sleep_for(kComputingPollInterval);
    if (link.TripsNum() <= 0) return;
    NameKmlFile();
    link.TripIndex(kFirstTrip);
    link.ExportTrackToFile(KmlPath(), kTrackFormat, kNoExportText, kNoExportText, kTrackOption1,
                           kTrackOption2, query_.Icons, query_.Gmt, kTrackOption3, kTrackOption4);
  }

  // The last positions of the listed devices (decimal numbers joined by ",").
  void ExportPositions(TVelorinAutomation& link, std::string_view devices) {
    link.ExportCarsToFile(KmlPath(), devices, kPositionsFormat, kNoExportText, kNoExportText,
                          query_.Gmt, kPositionsOption1, kPositionsOption2);
  }

  // No trip is selected here: exporting last positions does not involve one, and a dispatcher
  // without computed trips refuses the selection.
  void ExportLastPosition(TVelorinAutomation& link) {
    if (link.CarLatitude() <= kNoLatitude) return;
    NameKmlFile();
    ExportPositions(link, std::to_string(query_.DevNum));
  }

  [[nodiscard]] std::string VehicleFromFiles() {
    const std::string_view dispatcherFolder = state_.settings.KXServerPath;
    if (dispatcherFolder.empty()) return PackedAnswer();
    const auto source = LastPositionFile(dispatcherFolder, query_.DevNum);
    if (!source) return query_.Reply.empty() ? kCarNoData : query_.Reply;
    NameKmlFile();
    PrepareLastPositionKml(WriterContext(), *source, query_.DevNum, query_.Gmt, query_.KmlName);
    return PackedAnswer();
  }

  [[nodiscard]] std::string GroupFromDispatcher() {
    NameKmlFile();
    TVelorinAutomation link;
    link.WaitForInitializing();
    link.SetGroupIndexByFileName(query_.GroupFile);
    const std::string devices =
        DeviceListText(GroupVehicles(Vehicles(), state_.vehicles, query_.GroupFile));
    ExportPositions(link, devices);
    return PackedAnswer();
  }

  [[nodiscard]] std::string GroupFromFiles() {
    NameKmlFile();
    if (!BuildGroupKml(WriterContext(), query_.GroupFile, Vehicles(), query_.Gmt, query_.KmlName)) {
      return kCarNoData;
    }
    return PackedAnswer();
  }

  [[nodiscard]] KmlWriterContext WriterContext() const {
    return {state_.vehicles, state_.settings.KXServerPath, kmlFolder_};
  }

  // The archive of the KML file the branch made, and the text that tells the page where it is;
  // "1" when the branch made no file or its archive could not be made.
  [[nodiscard]] std::string PackedAnswer() const {
    if (query_.KmlName.empty() || !fs::exists(kmlFolder_ / PathFromUtf8(query_.KmlName))) {
      return kCarNoData;
    }
    const auto archive = PackKmz(kmlFolder_, query_.KmlName);
    if (!archive) return kCarNoData;
    const TUserParams* params = state_.userParams.UserParamsOf(caller_.login);
    const TUserParams display = params != nullptr ? *params : TUserParams{};
    return std::to_string(display.GoogleZoom) + "|" + std::to_string(display.GoogleType) +
           "|http://" + caller_.host + kArchivePath + *archive;
  }

  ServiceState& state_;
  const CarCaller& caller_;
  CarQuery& query_;
  const fs::path kmlFolder_;
  const std::vector<std::string>* sessionVehicles_;
};

}  // namespace

std::string AnswerVehicleDataRequest(ServiceState& state, const CarCaller& caller,
                                     std::string_view queryText) {
  const UtcSeconds now = UtcNow();
  CarQuery query = ParseCarQuery(queryText, now);
  if (query.iconsRead) {
    try {
      StoreIcons(state, caller.login, query.Icons);
    } catch (const std::exception&) {
      FailCarQuery(query);
    }
  }
  if (query.Kind == kCarTrack) ApplyTrackPeriod(query, now);
  MainThreadSection gate;
  return CarRequest(state, caller, query).Answer();
}

bool StoresIconMask(std::string_view query) {
  return ParseCarQuery(query, UtcNow()).iconsRead;
}

}  // namespace kx
