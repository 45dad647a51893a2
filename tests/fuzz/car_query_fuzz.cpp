// libFuzzer target for the vehicle data query: whatever the text, the request is one of the
// three kinds with a defined reply; values read are in range; a query written from the values
// read parses back to them; and a track period is within the calendar and, unless refused, no
// longer than allowed. Period texts written from a time parse back to that time.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/civil_time.h"
#include "dispatcher/dispatcher_time.h"
#include "mapdata/car_query.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using kx::fuzz::Check;

bool InCalendar(kx::UtcSeconds time) {
  return kx::CivilOfSeconds(time).has_value();
}

// The query as the page writes it for the values read.
std::string QueryOf(const kx::CarQuery& q) {
  const std::string gmt = "&GMT=" + std::to_string(q.Gmt);
  if (q.Kind == kx::kCarGroup) return "GroupFileName=" + std::to_string(*q.groupNumber) + gmt;
  const std::string device = "DevNum=" + std::to_string(q.DevNum);
  if (q.Kind == kx::kCarLastPosition) return device + "&type=0" + gmt;
  return device + "&type=1&BeginDate=" + q.beginText + "&EndDate=" + q.endText + gmt +
         "&Icons=" + std::to_string(q.Icons);
}

void CheckPeriod(kx::CarQuery query, kx::UtcSeconds now) {
  kx::ApplyTrackPeriod(query, now);
  // A refused period's times are not used; with "now" in the first day of the calendar, the
  // fallback period may begin before it.
  if (!query.Reply.empty()) {
    Check(query.Reply == kx::kCarBadRequest);
    return;
  }
  Check(InCalendar(query.Begin) && InCalendar(query.End));
  Check(query.End - query.Begin <= kx::kMaxTrackPeriod);
}

void CheckQuery(std::string_view text, kx::UtcSeconds now) {
  const kx::CarQuery query = kx::ParseCarQuery(text, now);
  Check(query.Reply.empty() || query.Reply == kx::kCarBadRequest);
  if (text.empty()) Check(query.Reply.empty() && query.Kind == kx::kCarLastPosition);
  if (!query.Reply.empty() || text.empty()) {
    Check(query.Kind == kx::kCarLastPosition);
    return;
  }
  Check(query.Gmt >= 0 && InCalendar(kx::ShiftByHours(now, query.Gmt)));
  if (query.Kind == kx::kCarGroup) {
    Check(query.groupNumber && *query.groupNumber >= 0);
  } else {
    Check(query.Kind == kx::kCarLastPosition || query.Kind == kx::kCarTrack);
    Check(query.DevNum >= 0);
  }
  if (query.Kind == kx::kCarTrack) Check(query.iconsRead && query.Icons >= 0);
  const kx::CarQuery again = kx::ParseCarQuery(QueryOf(query), now);
  Check(again.Reply.empty() && again.Kind == query.Kind && again.DevNum == query.DevNum &&
        again.Gmt == query.Gmt && again.Icons == query.Icons &&
        again.groupNumber == query.groupNumber && again.beginText == query.beginText &&
        again.endText == query.endText);
  if (query.Kind == kx::kCarTrack) CheckPeriod(query, now);
}

std::string Padded(int value, size_t digits) {
  std::string text = std::to_string(value);
  return std::string(digits > text.size() ? digits - text.size() : 0, '0') + text;
}

void CheckPeriodTime(std::string_view text) {
  const auto time = kx::ParsePeriodTime(text);
  if (!time) return;
  const auto civil = kx::CivilOfSeconds(*time);
  Check(civil.has_value());
  const std::string written = std::to_string(civil->day) + "." + std::to_string(civil->month) +
                              "." + Padded(civil->year, 4) + "_" + std::to_string(civil->hour) +
                              ":" + std::to_string(civil->minute) + ":" +
                              std::to_string(civil->second);
  Check(kx::ParsePeriodTime(written) == time);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // "now" anywhere in the calendar, picked by the first input byte; the rest is the query.
  const int64_t spread = 253402300799LL + 62135596800LL;  // year 1 to the end of year 9999
  const kx::UtcSeconds now =
      input.empty() ? 1267800000 : -62135596800LL + spread / 255 * static_cast<uint8_t>(input[0]);
  const std::string_view query = input.empty() ? input : input.substr(1);
  CheckQuery(query, now);
  CheckQuery(query, 1267800000);
  CheckPeriodTime(query);
  return 0;
}
