// The records of a ZIP archive (PKWARE's APPNOTE) as this writer makes them: the local file
// header, the central directory header, the end of central directory record, and the field
// values taken from a source file. Pure functions on values and byte buffers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx::zip {

inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflated = 8;
inline constexpr uint16_t kVersionNeeded = 20;          // 2.0: deflate
inline constexpr uint16_t kVersionMadeBy = 0x0B17;      // host 11 (NTFS), ZIP format version 2.3
inline constexpr uint16_t kFlagDataDescriptor = 8;      // sizes and CRC follow the data
inline constexpr uint16_t kFlagMaximumCompression = 2;  // deflate option bits of level 8
inline constexpr size_t kLocalHeaderSize = 30;
inline constexpr size_t kCentralHeaderSize = 46;
inline constexpr size_t kEndRecordSize = 22;
inline constexpr size_t kLocalTimestampSize = 17;   // "UT" with modification, access, creation
inline constexpr size_t kCentralTimestampSize = 9;  // "UT" with the modification time only
inline constexpr size_t kMaxNameBytes = 259;
// The largest sizes, offsets and entry counts the classic records hold; the all-ones values
// announce ZIP64 records, which this writer does not make.
inline constexpr uint64_t kMaxField32 = 0xFFFFFFFE;
inline constexpr size_t kMaxEntries = 0xFFFE;

// MS-DOS file attribute bits.
inline constexpr uint8_t kDosReadOnly = 0x01;
inline constexpr uint8_t kDosHidden = 0x02;
inline constexpr uint8_t kDosSystem = 0x04;
inline constexpr uint8_t kDosDirectory = 0x10;
inline constexpr uint8_t kDosArchive = 0x20;

// A file time: 100-nanosecond intervals since 1601-01-01 00:00 UTC.
using FileTime = uint64_t;

struct DosDateTime {
  uint16_t time;
  uint16_t date;
};

// Seconds since 1970-01-01 00:00 UTC, truncated, as the extended timestamp field holds them.
[[nodiscard]] uint32_t UnixTime(FileTime time);
// MS-DOS time and date of the file time, in UTC.
[[nodiscard]] DosDateTime ToDosDateTime(FileTime time);
// External attributes: the MS-DOS attributes in the low byte, a Unix mode in the high half.
[[nodiscard]] uint32_t ExternalAttributes(uint8_t dosAttributes);
// Whether an entry of this name is stored rather than deflated: names of archives already
// compressed (".zip", ".gz", ...), in any letter case.
[[nodiscard]] bool IsStoredName(std::string_view name);
// The entry name as recorded: at most kMaxNameBytes bytes, every "\" replaced by "/".
[[nodiscard]] std::string EntryName(std::string_view name);

// The fields that the local and the central header share.
struct EntryFields {
  uint16_t flags = 0;
  uint16_t method = kMethodDeflated;
  DosDateTime modified = {0, 0};
  uint32_t crc = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  std::string name;  // already cut and with "/" separators
};

struct Timestamps {
  uint32_t modified;
  uint32_t accessed;
  uint32_t created;
};

// Appends the local file header with its extended timestamp field.
void AppendLocalHeader(std::vector<uint8_t>& out, const EntryFields& entry,
                       const Timestamps& times);
// Appends the central directory header with its extended timestamp field.
void AppendCentralHeader(std::vector<uint8_t>& out, const EntryFields& entry,
                         uint32_t modifiedUnixTime, uint32_t externalAttributes,
                         uint32_t localHeaderOffset);
void AppendEndRecord(std::vector<uint8_t>& out, uint16_t entries, uint32_t directorySize,
                     uint32_t directoryOffset);

}  // namespace kx::zip
