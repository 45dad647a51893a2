#include "mapdata/zip_format.h"

#include <algorithm>
#include <array>

#include "common/civil_calendar.h"
#include "common/cp1251.h"

namespace kx::zip {
namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kEndRecordSignature = 0x06054b50;
constexpr uint16_t kTimestampId = 0x5455;  // "UT"
constexpr uint8_t kTimestampFlags = 7;     // modification, access and creation time present

constexpr FileTime kTicksPerSecond = 10'000'000;
constexpr FileTime kUnixEpoch = 116'444'736'000'000'000;  // 1970-01-01 in file time

// Unix mode bits of the high half of the external attributes.
constexpr uint32_t kModeRegular = 0x8000, kModeDirectory = 0x4000;
constexpr uint32_t kModeOwnerRead = 0x0100, kModeOwnerWrite = 0x0080;

void Put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(uint8_t(value));
  out.push_back(uint8_t(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, uint16_t(value));
  Put16(out, uint16_t(value >> 16));
}

void PutBytes(std::vector<uint8_t>& out, std::string_view bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

// The fields from "version needed" to "extra field length", common to both headers.
void PutCommonFields(std::vector<uint8_t>& out, const EntryFields& entry, uint16_t extraSize) {
  Put16(out, kVersionNeeded);
  Put16(out, entry.flags);
  Put16(out, entry.method);
  Put16(out, entry.modified.time);
  Put16(out, entry.modified.date);
  Put32(out, entry.crc);
  Put32(out, entry.compressedSize);
  Put32(out, entry.uncompressedSize);
  Put16(out, uint16_t(entry.name.size()));
  Put16(out, extraSize);
}

}  // namespace

uint32_t UnixTime(FileTime time) {
  // Before 1970 the difference is negative and wraps, as the 32-bit field does.
  return uint32_t((int64_t(time) - int64_t(kUnixEpoch)) / int64_t(kTicksPerSecond));
}

DosDateTime ToDosDateTime(FileTime time) {
  const uint64_t seconds = time / kTicksPerSecond;  // since 1601-01-01
  const uint64_t secondOfDay = seconds % 86400;
  const int64_t daysSince1970 =
      int64_t(seconds / 86400) - int64_t(kUnixEpoch / kTicksPerSecond / 86400);
  const CivilDate date = CivilFromDays(daysSince1970);
  const unsigned hour = unsigned(secondOfDay / 3600);
  const unsigned minute = unsigned(secondOfDay / 60 % 60);
  const unsigned second = unsigned(secondOfDay % 60);
  return {
      uint16_t(hour << 11 | minute << 5 | second / 2),
      uint16_t(((date.year - 1980) & 0x7F) << 9 | unsigned(date.month) << 5 | unsigned(date.day))};
}

uint32_t ExternalAttributes(uint8_t dosAttributes) {
  uint32_t mode = (dosAttributes & kDosDirectory) ? kModeDirectory : kModeRegular;
  mode |= kModeOwnerRead;
  if (!(dosAttributes & kDosReadOnly)) mode |= kModeOwnerWrite;
  return mode << 16 | dosAttributes;
}

bool IsStoredName(std::string_view name) {
  static constexpr std::array<std::string_view, 8> kSuffixes = {".Z",   ".zip", ".zoo", ".arc",
                                                                ".lzh", ".arj", ".gz",  ".tgz"};
  return std::any_of(kSuffixes.begin(), kSuffixes.end(), [&](std::string_view suffix) {
    return name.size() >= suffix.size() &&
           Cp1251EqualsIgnoreCase(name.substr(name.size() - suffix.size()), suffix);
  });
}

std::string EntryName(std::string_view name) {
  std::string cut(name.substr(0, std::min(name.size(), kMaxNameBytes)));
  std::replace(cut.begin(), cut.end(), '\\', '/');
  return cut;
}

void AppendLocalHeader(std::vector<uint8_t>& out, const EntryFields& entry,
                       const Timestamps& times) {
  Put32(out, kLocalHeaderSignature);
  PutCommonFields(out, entry, kLocalTimestampSize);
  PutBytes(out, entry.name);
  Put16(out, kTimestampId);
  Put16(out, kLocalTimestampSize - 4);
  out.push_back(kTimestampFlags);
  Put32(out, times.modified);
  Put32(out, times.accessed);
  Put32(out, times.created);
}

void AppendCentralHeader(std::vector<uint8_t>& out, const EntryFields& entry,
                         uint32_t modifiedUnixTime, uint32_t externalAttributes,
                         uint32_t localHeaderOffset) {
  Put32(out, kCentralHeaderSignature);
  Put16(out, kVersionMadeBy);
  PutCommonFields(out, entry, kCentralTimestampSize);
  Put16(out, 0);  // comment length
  Put16(out, 0);  // disk number start
  Put16(out, 0);  // internal attributes
  Put32(out, externalAttributes);
  Put32(out, localHeaderOffset);
  PutBytes(out, entry.name);
  Put16(out, kTimestampId);
  Put16(out, kCentralTimestampSize - 4);
  out.push_back(kTimestampFlags);
  Put32(out, modifiedUnixTime);
}

void AppendEndRecord(std::vector<uint8_t>& out, uint16_t entries, uint32_t directorySize,
                     uint32_t directoryOffset) {
  Put32(out, kEndRecordSignature);
  Put16(out, 0);  // number of this disk
  Put16(out, 0);  // disk where the central directory starts
  Put16(out, entries);
  Put16(out, entries);
  Put32(out, directorySize);
  Put32(out, directoryOffset);
  Put16(out, 0);  // comment length
}

}  // namespace kx::zip
