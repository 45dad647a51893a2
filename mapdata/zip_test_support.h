// Test helpers for the archive writer's tests: a scratch folder, files, and a
// reader of the archive records that checks their signatures and sizes as it goes.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "common/testing/scratch_folder.h"
#include "common/utf8_path.h"

namespace kx::ziptest {

using Bytes = std::vector<uint8_t>;

using TempFolder = kx::testing::ScratchFolder;

// Paths are UTF-8.
inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline Bytes ToBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

inline uint16_t Get16(const Bytes& b, size_t at) {
  return uint16_t(b.at(at) | b.at(at + 1) << 8);
}

inline uint32_t Get32(const Bytes& b, size_t at) {
  return uint32_t(Get16(b, at)) | uint32_t(Get16(b, at + 2)) << 16;
}

struct LocalRecord {
  uint16_t versionNeeded, flags, method, time, date;
  uint32_t crc, compressedSize, uncompressedSize;
  std::string name;
  Bytes extra;
  Bytes data;
};

struct CentralRecord {
  uint16_t versionMadeBy, versionNeeded, flags, method, time, date;
  uint32_t crc, compressedSize, uncompressedSize;
  uint16_t commentLength, diskStart, internalAttributes;
  uint32_t externalAttributes, localHeaderOffset;
  std::string name;
  Bytes extra;
};

struct Archive {
  std::vector<CentralRecord> central;
  std::vector<LocalRecord> local;  // in the order of the central directory
  uint16_t disk, directoryDisk, entriesOnDisk, entries;
  uint32_t directorySize, directoryOffset;
  uint16_t commentLength;
};

// Reads an archive that ends with its end record (no comment). Fails the test on a wrong
// signature or a record that runs past the end.
inline Archive ParseArchive(const Bytes& b) {
  Archive a{};
  if (b.size() < 22) {
    ADD_FAILURE() << "archive of " << b.size() << " bytes";
    return a;
  }
  const size_t end = b.size() - 22;
  EXPECT_EQ(Get32(b, end), 0x06054b50u);
  a.disk = Get16(b, end + 4);
  a.directoryDisk = Get16(b, end + 6);
  a.entriesOnDisk = Get16(b, end + 8);
  a.entries = Get16(b, end + 10);
  a.directorySize = Get32(b, end + 12);
  a.directoryOffset = Get32(b, end + 16);
  a.commentLength = Get16(b, end + 20);
  EXPECT_EQ(size_t(a.directoryOffset) + a.directorySize, end);
  size_t at = a.directoryOffset;
  for (int i = 0; i < a.entries; ++i) {
    CentralRecord c;
    EXPECT_EQ(Get32(b, at), 0x02014b50u);
    c.versionMadeBy = Get16(b, at + 4);
    c.versionNeeded = Get16(b, at + 6);
    c.flags = Get16(b, at + 8);
    c.method = Get16(b, at + 10);
    c.time = Get16(b, at + 12);
    c.date = Get16(b, at + 14);
    c.crc = Get32(b, at + 16);
    c.compressedSize = Get32(b, at + 20);
    c.uncompressedSize = Get32(b, at + 24);
    const uint16_t nameLength = Get16(b, at + 28), extraLength = Get16(b, at + 30);
    c.commentLength = Get16(b, at + 32);
    c.diskStart = Get16(b, at + 34);
    c.internalAttributes = Get16(b, at + 36);
    c.externalAttributes = Get32(b, at + 38);
    c.localHeaderOffset = Get32(b, at + 42);
    c.name.assign(b.begin() + std::ptrdiff_t(at + 46),
                  b.begin() + std::ptrdiff_t(at + 46 + nameLength));
    c.extra.assign(b.begin() + std::ptrdiff_t(at + 46 + nameLength),
                   b.begin() + std::ptrdiff_t(at + 46 + nameLength + extraLength));
    at += 46 + nameLength + extraLength + c.commentLength;
    a.central.push_back(c);

    LocalRecord l;
    const size_t h = c.localHeaderOffset;
    EXPECT_EQ(Get32(b, h), 0x04034b50u);
    l.versionNeeded = Get16(b, h + 4);
    l.flags = Get16(b, h + 6);
    l.method = Get16(b, h + 8);
    l.time = Get16(b, h + 10);
    l.date = Get16(b, h + 12);
    l.crc = Get32(b, h + 14);
    l.compressedSize = Get32(b, h + 18);
    l.uncompressedSize = Get32(b, h + 22);
    const uint16_t localNameLength = Get16(b, h + 26), localExtraLength = Get16(b, h + 28);
    const size_t nameAt = h + 30, extraAt = nameAt + localNameLength;
    const size_t dataAt = extraAt + localExtraLength;
    if (dataAt + l.compressedSize > b.size()) {
      ADD_FAILURE() << "entry data runs past the end";
      return a;
    }
    l.name.assign(b.begin() + std::ptrdiff_t(nameAt), b.begin() + std::ptrdiff_t(extraAt));
    l.extra.assign(b.begin() + std::ptrdiff_t(extraAt), b.begin() + std::ptrdiff_t(dataAt));
    l.data.assign(b.begin() + std::ptrdiff_t(dataAt),
                  b.begin() + std::ptrdiff_t(dataAt + l.compressedSize));
    a.local.push_back(l);
  }
  EXPECT_EQ(at, end);
  return a;
}

// Inflates a raw deflate stream with zlib; empty (and a test failure) unless it is complete.
inline Bytes Inflate(const Bytes& compressed, size_t expectedSize) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
  Bytes out(expectedSize + 1);
  z.next_in = const_cast<Bytef*>(compressed.data());
  z.avail_in = uInt(compressed.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  const int status = inflate(&z, Z_FINISH);
  out.resize(z.total_out);
  const bool complete = status == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  EXPECT_TRUE(complete) << "inflate: " << status;
  return complete ? out : Bytes();
}

inline Bytes RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = uint8_t(random());
  return bytes;
}

}  // namespace kx::ziptest
