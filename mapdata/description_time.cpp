#include "mapdata/description_time.h"

#include <array>

#include "common/civil_time.h"
#include "mapdata/host_time.h"
#include "mapdata/kml_document.h"

namespace kx {
namespace {

constexpr size_t kStampLength = 19;  // characters

// A field of the stamp: first character (from 0) and length.
struct StampField {
  size_t first;
  size_t length;
};
constexpr std::array<StampField, 6> kStampFields = {{
    {0, 4},   // year
    {5, 2},   // month
    {8, 2},   // day
    {11, 2},  // hour
    {14, 2},  // minute
    {17, 2},  // second
}};

// Byte length of the UTF-8 character that starts with this byte (1 for a stray byte).
size_t CharacterLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// The first kStampLength characters of a UTF-8 text, one view per character (separators may
// be any character, so fields are found by character rather than by byte).
std::array<std::string_view, kStampLength> StampCharacters(std::string_view text) {
  std::array<std::string_view, kStampLength> characters;
  size_t offset = 0;
  for (std::string_view& character : characters) {
    if (offset >= text.size()) {
      throw KmlError("the description \"" + std::string(text) + "\" does not begin with a time");
    }
    const size_t length = CharacterLength(static_cast<unsigned char>(text[offset]));
    character = text.substr(offset, length);
    offset += length;
  }
  return characters;
}

int FieldValue(const std::array<std::string_view, kStampLength>& characters, StampField field,
               std::string_view description) {
  int value = 0;
  for (size_t i = field.first; i < field.first + field.length; ++i) {
    const std::string_view character = characters[i];
    if (character.size() != 1 || character[0] < '0' || character[0] > '9') {
      throw KmlError("the time at the start of the description \"" + std::string(description) +
                     "\" is not a number");
    }
    value = value * 10 + (character[0] - '0');
  }
  return value;
}

}  // namespace

UtcSeconds DescriptionStamp(std::string_view description) {
  const auto characters = StampCharacters(description);
  CivilTime time;
  int* const fields[] = {&time.year, &time.month,  &time.day,
                         &time.hour, &time.minute, &time.second};
  for (size_t i = 0; i < kStampFields.size(); ++i) {
    *fields[i] = FieldValue(characters, kStampFields[i], description);
  }
  const auto seconds = SecondsOfCivil(time);
  if (!seconds) {
    throw KmlError("the description \"" + std::string(description) + "\" names no valid time");
  }
  return *seconds;
}

std::string UserDescription(std::string_view description, int32_t gmt) {
  const auto shifted = CivilOfSeconds(ShiftByHours(DescriptionStamp(description), gmt));
  if (!shifted) throw KmlError("the description's time moved by the GMT offset is out of range");
  return HostDateTimeText(*shifted);
}

}  // namespace kx
