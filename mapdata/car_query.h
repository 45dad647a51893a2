// The parameters of one vehicle data request ("/kxserver/car"), read from its raw query text.
//
// The query must equal one of three forms in full (names, order and letter case fixed):
//   last position  DevNum=<D>&type=0&GMT=<G>
//   track          DevNum=<D>&type=1&BeginDate=<T>&EndDate=<T>&GMT=<G>&Icons=<G>
//   group          GroupFileName=<D>&GMT=<G>
// D is one or more decimal digits, G zero or more, T zero or more of the digits and "-._:".
// Values are read in the order they stand; the first one that is not a 32-bit number (or a GMT
// offset that moves the time `now` out of the years 1 to 9999) stops the reading, records the
// reply "3" and turns the request into a last-position request (values read before it are
// kept). A query of another form records "3" as well; an empty one reads nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dispatcher/dispatcher_time.h"

namespace kx {

inline constexpr int32_t kCarLastPosition = 0;
inline constexpr int32_t kCarTrack = 1;
inline constexpr int32_t kCarGroup = 2;

// Reply codes of the request besides its success text.
inline constexpr char kCarNoData[] = "1";        // the requested data is absent
inline constexpr char kCarNotPermitted[] = "2";  // no such vehicle, or not the user's
inline constexpr char kCarBadRequest[] = "3";    // malformed request

// The longest period a track may cover (exactly this much is accepted).
inline constexpr UtcSeconds kMaxTrackPeriod = 7 * 24 * kSecondsPerHour;
// The period used when the asked one is unreadable or too long: the day up to now.
inline constexpr UtcSeconds kFallbackTrackPeriod = 24 * kSecondsPerHour;

struct CarQuery {
  int32_t DevNum = -1;
  int32_t Kind = kCarLastPosition;
  int32_t Gmt = 0;
  UtcSeconds Begin = 0;  // period of a track, UTC
  UtcSeconds End = 0;
  int32_t Icons = -1;
  // The group number of a group request; its file name is looked up in the registry later,
  // where the registry may be read.
  std::optional<int32_t> groupNumber;
  std::string GroupFile;
  std::string Reply;  // "", or a code recorded on the way
  std::string KmlName;
  // The period texts of a track request, as sent.
  std::string beginText;
  std::string endText;
  // The track form was read in full: its Icons value is to be stored as the user's setting.
  bool iconsRead = false;
};

[[nodiscard]] CarQuery ParseCarQuery(std::string_view query, UtcSeconds now);

// Records the failure of a step after parsing (the group number without a group file name, the
// Icons setting that could not be stored): "3", and a last-position request from here on.
void FailCarQuery(CarQuery& query);

// A period end as the page writes it: day.month.year and hour:minute, optionally ":seconds",
// with "_" for the blank (05.03.2010_9:07). nullopt when it is no valid date and time.
[[nodiscard]] std::optional<UtcSeconds> ParsePeriodTime(std::string_view text);

// Works out the period of a track request: the two texts moved back by Gmt hours (the page
// sends the user's local time); the day up to `now` when either text is unreadable; the same,
// with "3" recorded, when the period is longer than kMaxTrackPeriod. A period moved out of the
// years 1 to 9999 fails as an unconvertible value does (FailCarQuery). An end before the begin
// is kept as it is.
void ApplyTrackPeriod(CarQuery& query, UtcSeconds now);

}  // namespace kx
