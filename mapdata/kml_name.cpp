#include "mapdata/kml_name.h"

#include "common/cp1251.h"
#include "common/md5.h"
#include "mapdata/host_time.h"

namespace kx {

std::string MakeKmlName(std::string_view login, std::string_view sessionId, int32_t device) {
  return KmlNameAt(login, sessionId, device, LocalNow());
}

std::string KmlNameAt(std::string_view login, std::string_view sessionId, int32_t device,
                      const CivilTime& moment) {
  const std::string text = std::string(login) + std::string(sessionId) + std::to_string(device) +
                           HostDateTimeText(moment);
  return Md5Hex(Md5Of(Cp1251FromUtf8(text))) + ".kml";
}

}  // namespace kx
