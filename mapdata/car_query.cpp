#include "mapdata/car_query.h"

#include <charconv>

#include "common/civil_time.h"
#include "common/request_pattern.h"

namespace kx {
namespace {

std::optional<int32_t> ToInt32(std::string_view text) {
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

// Reads one number into a field; false (after recording the failure) when it does not convert.
bool Read(CarQuery& query, int32_t& field, std::string_view text) {
  const auto value = ToInt32(text);
  if (!value) {
    FailCarQuery(query);
    return false;
  }
  field = *value;
  return true;
}

[[nodiscard]] bool InCalendarRange(UtcSeconds time) {
  return CivilOfSeconds(time).has_value();
}

// The GMT offset converts only when the user's local time now, the clock it describes, lies in
// the years kMinCivilYear..kMaxCivilYear: a larger offset could only give times that no date
// text can hold.
bool ReadGmt(CarQuery& query, std::string_view text, UtcSeconds now) {
  const auto value = ToInt32(text);
  if (!value || !InCalendarRange(ShiftByHours(now, *value))) {
    FailCarQuery(query);
    return false;
  }
  query.Gmt = *value;
  return true;
}

void ReadLastPosition(CarQuery& query, const std::vector<std::string>& values, UtcSeconds now) {
  if (!Read(query, query.DevNum, values[0])) return;
  query.Kind = kCarLastPosition;
  ReadGmt(query, values[1], now);
}

void ReadTrack(CarQuery& query, const std::vector<std::string>& values, UtcSeconds now) {
  if (!Read(query, query.DevNum, values[0])) return;
  query.Kind = kCarTrack;
  query.beginText = values[1];
  query.endText = values[2];
  if (!ReadGmt(query, values[3], now)) return;
  query.iconsRead = Read(query, query.Icons, values[4]);
}

void ReadGroup(CarQuery& query, const std::vector<std::string>& values, UtcSeconds now) {
  query.Kind = kCarGroup;
  int32_t number = 0;
  if (!Read(query, number, values[0])) return;
  query.groupNumber = number;
  ReadGmt(query, values[1], now);
}

}  // namespace

CarQuery ParseCarQuery(std::string_view text, UtcSeconds now) {
  static const RequestPattern kLastPositionForm("^DevNum=(\\d+)&type=0&GMT=(\\d*)$");
  static const RequestPattern kTrackForm(
      "^DevNum=(\\d+)&type=1&BeginDate=([\\d\\-._:]*)&EndDate=([\\d\\-._:]*)&GMT=(\\d*)"
      "&Icons=(\\d*)$");
  static const RequestPattern kGroupForm("^GroupFileName=(\\d+)&GMT=(\\d*)$");

  CarQuery query;
  if (text.empty()) return query;
  if (const auto values = kLastPositionForm.Match(text)) {
    ReadLastPosition(query, *values, now);
  } else if (const auto values = kTrackForm.Match(text)) {
    ReadTrack(query, *values, now);
  } else if (const auto values = kGroupForm.Match(text)) {
    ReadGroup(query, *values, now);
  } else {
    FailCarQuery(query);
  }
  return query;
}

void FailCarQuery(CarQuery& query) {
  query.Reply = kCarBadRequest;
  query.Kind = kCarLastPosition;
}

std::optional<UtcSeconds> ParsePeriodTime(std::string_view text) {
  static const RequestPattern kPeriodTime(
      "^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4})_(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?$");
  const auto fields = kPeriodTime.Match(text);
  if (!fields) return std::nullopt;
  const auto number = [&fields](size_t i) { return ToInt32((*fields)[i]).value_or(0); };
  CivilTime time;
  time.day = number(0);
  time.month = number(1);
  time.year = number(2);
  time.hour = number(3);
  time.minute = number(4);
  time.second = number(5);
  return SecondsOfCivil(time);
}

void ApplyTrackPeriod(CarQuery& query, UtcSeconds now) {
  const auto begin = ParsePeriodTime(query.beginText);
  const auto end = ParsePeriodTime(query.endText);
  const bool readable = begin && end;
  query.Begin = readable ? ShiftByHours(*begin, -query.Gmt) : now - kFallbackTrackPeriod;
  query.End = readable ? ShiftByHours(*end, -query.Gmt) : now;
  const bool inRange = InCalendarRange(query.Begin) && InCalendarRange(query.End);
  if (!inRange || query.End - query.Begin > kMaxTrackPeriod) {
    query.Reply = kCarBadRequest;
    query.Begin = now - kFallbackTrackPeriod;
    query.End = now;
  }
  // A period moved out of the calendar fails as an unconvertible value does.
  if (!inRange) FailCarQuery(query);
}

}  // namespace kx
