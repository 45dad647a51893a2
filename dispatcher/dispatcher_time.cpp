#include "dispatcher/dispatcher_time.h"

#include <charconv>
#include <cstdio>
#include <stdexcept>

namespace kx {
namespace {

// Reads exactly `digits` decimal digits at `offset`.
[[nodiscard]] std::optional<int> Digits(std::string_view text, size_t offset, size_t digits) {
  const std::string_view part = text.substr(offset, digits);
  int value = 0;
  const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
  if (error != std::errc() || end != part.data() + part.size() || part.size() != digits) {
    return std::nullopt;
  }
  if (part.front() == '-' || part.front() == '+') return std::nullopt;
  return value;
}

[[nodiscard]] CivilTime FieldsOf(UtcSeconds time) {
  const auto fields = CivilOfSeconds(time);
  if (!fields) {
    throw std::out_of_range("the time " + std::to_string(time) +
                            " s lies outside the years 1 to 9999");
  }
  return *fields;
}

// Checks the separators of a fixed-width text: `layout` holds the separator characters at their
// places and '9' where a digit goes.
[[nodiscard]] bool MatchesLayout(std::string_view text, std::string_view layout) {
  if (text.size() != layout.size()) return false;
  for (size_t i = 0; i < layout.size(); ++i) {
    if (layout[i] != '9' && text[i] != layout[i]) return false;
  }
  return true;
}

[[nodiscard]] std::optional<UtcSeconds> ParseFields(std::string_view text, std::string_view layout,
                                                    size_t year_at, size_t month_at,
                                                    size_t day_at) {
  if (!MatchesLayout(text, layout)) return std::nullopt;
  const auto year = Digits(text, year_at, 4);
  const auto month = Digits(text, month_at, 2);
  const auto day = Digits(text, day_at, 2);
  const auto hour = Digits(text, 11, 2);
  const auto minute = Digits(text, 14, 2);
  const auto second = Digits(text, 17, 2);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  return SecondsOfCivil({*year, *month, *day, *hour, *minute, *second, 0});
}

}  // namespace

std::optional<UtcSeconds> ParseIsoDateTime(std::string_view text) {
  return ParseFields(text, "9999-99-99 99:99:99", 0, 5, 8);
}

std::optional<UtcSeconds> ParseDispatcherDateTime(std::string_view text) {
  return ParseFields(text, "99.99.9999 99:99:99", 6, 3, 0);
}

std::string FormatIsoDateTime(UtcSeconds time) {
  const CivilTime f = FieldsOf(time);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour,
                f.minute, f.second);
  return text;
}

std::string FormatDispatcherDateTime(UtcSeconds time) {
  const CivilTime f = FieldsOf(time);
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", f.day, f.month, f.year, f.hour,
                f.minute, f.second);
  return text;
}

UtcSeconds ShiftByHours(UtcSeconds time, int32_t hours) {
  return time + static_cast<UtcSeconds>(hours) * kSecondsPerHour;
}

}  // namespace kx
