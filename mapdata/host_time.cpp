#include "mapdata/host_time.h"

namespace kx {

std::string HostDateTimeText(const CivilTime& time) {
  if (IsMidnight(time)) return HostDateText(time);
  return HostDateText(time) + " " + HostTimeText(time);
}

}  // namespace kx
