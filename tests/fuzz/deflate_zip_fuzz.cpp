// libFuzzer target for the deflate compressor and the ZIP writer: the input, compressed whole or
// handed over in pieces, inflates back to itself with zlib; and an archive of entries made from
// the input has local headers whose names, CRC-32 and sizes match what zlib reads from the data.
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "mapdata/deflate.h"
#include "mapdata/zip.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

namespace fs = std::filesystem;

using kx::fuzz::Check;

struct CollectSink final : kx::DeflateSink {
  void Put(std::span<const uint8_t> bytes) override {
    Check(bytes.size() <= 16384);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  std::vector<uint8_t> out;
};

// Inflates a raw deflate stream with zlib; fails unless the stream ends exactly at its last byte.
std::vector<uint8_t> Inflate(std::span<const uint8_t> compressed, size_t expectedSize) {
  z_stream stream{};
  Check(inflateInit2(&stream, -MAX_WBITS) == Z_OK);
  std::vector<uint8_t> out(expectedSize + 1);
  stream.next_in = const_cast<Bytef*>(compressed.data());
  stream.avail_in = static_cast<uInt>(compressed.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = inflate(&stream, Z_FINISH);
  Check(result == Z_STREAM_END && stream.avail_in == 0);
  out.resize(stream.total_out);
  inflateEnd(&stream);
  return out;
}

// The piece sizes the input is handed over in, taken from its first bytes.
std::vector<size_t> PieceSizes(std::span<const uint8_t> input) {
  std::vector<size_t> sizes;
  for (size_t i = 0; i < 3 && i < input.size(); ++i) sizes.push_back(size_t{input[i]} * 37 + 1);
  if (sizes.empty()) sizes.push_back(1);
  return sizes;
}

void CheckDeflate(std::span<const uint8_t> input) {
  Check(Inflate(kx::DeflateBuffer(input), input.size()) ==
        std::vector<uint8_t>(input.begin(), input.end()));
  // One compressor for every input, as the pool keeps them: each stream starts from a reset.
  static kx::Deflater deflater;
  CollectSink sink;
  deflater.Reset(sink);
  const std::vector<size_t> sizes = PieceSizes(input);
  for (size_t offset = 0, i = 0; offset < input.size(); ++i) {
    const size_t piece = std::min(sizes[i % sizes.size()], input.size() - offset);
    deflater.Write(input.subspan(offset, piece));
    offset += piece;
  }
  deflater.Finish();
  Check(Inflate(sink.out, input.size()) == std::vector<uint8_t>(input.begin(), input.end()));
}

// A folder of its own for the archive and its sources, removed when the process ends.
struct ScratchFolder {
  ScratchFolder() : path(fs::temp_directory_path() / ("kx-zip-fuzz-" + std::to_string(getpid()))) {
    fs::create_directories(path);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  fs::path path;
};

uint32_t Read16(const std::vector<uint8_t>& bytes, size_t at) {
  Check(at + 2 <= bytes.size());
  return uint32_t{bytes[at]} | uint32_t{bytes[at + 1]} << 8;
}

uint32_t Read32(const std::vector<uint8_t>& bytes, size_t at) {
  return Read16(bytes, at) | Read16(bytes, at + 2) << 16;
}

struct Entry {
  std::string name;
  std::vector<uint8_t> data;
};

// The entries: the input split at its zero bytes, at most four; the first named by the input's
// first bytes, the others by fixed names, one of which says it is stored.
std::vector<Entry> EntriesOf(std::span<const uint8_t> input) {
  std::vector<Entry> entries;
  const std::string firstName(input.begin(), input.begin() + std::min<size_t>(input.size(), 300));
  std::vector<uint8_t> current;
  for (size_t i = 0; i <= input.size(); ++i) {
    if (i < input.size() && (input[i] != 0 || entries.size() == 3)) {
      current.push_back(input[i]);
      continue;
    }
    const size_t n = entries.size();
    std::string name = n == 0 ? firstName : n == 2 ? "dir\\inner.ZIP" : "e" + std::to_string(n);
    if (name.empty()) name = "empty";
    entries.push_back({name, std::move(current)});
    current.clear();
  }
  return entries;
}

void CheckZip(std::span<const uint8_t> input) {
  static const ScratchFolder scratch;
  const std::vector<Entry> entries = EntriesOf(input);
  kx::TZip zip;
  Check(zip.Create(scratch.path / "a.kmz") == kx::kZipOk);
  for (size_t i = 0; i < entries.size(); ++i) {
    const fs::path source = scratch.path / ("s" + std::to_string(i));
    std::ofstream(source, std::ios::binary)
        .write(reinterpret_cast<const char*>(entries[i].data.data()),
               static_cast<std::streamsize>(entries[i].data.size()));
    Check(zip.Add(entries[i].name, source) == kx::kZipOk);
  }
  Check(zip.Close() == kx::kZipOk);
  std::ifstream in(scratch.path / "a.kmz", std::ios::binary);
  const std::vector<uint8_t> archive{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
  size_t at = 0;
  for (const Entry& entry : entries) {
    Check(Read32(archive, at) == 0x04034b50);
    const uint32_t flags = Read16(archive, at + 6);
    const uint32_t method = Read16(archive, at + 8);
    const uint32_t crc = Read32(archive, at + 14);
    const uint32_t compressedSize = Read32(archive, at + 18);
    const uint32_t size = Read32(archive, at + 22);
    const size_t nameLength = Read16(archive, at + 26);
    const size_t extraLength = Read16(archive, at + 28);
    const size_t dataStart = at + 30 + nameLength + extraLength;
    Check(dataStart + compressedSize <= archive.size());
    std::string expectedName = entry.name.substr(0, 259);
    std::replace(expectedName.begin(), expectedName.end(), '\\', '/');
    Check(std::string(archive.begin() + long(at) + 30,
                      archive.begin() + long(at + 30 + nameLength)) == expectedName);
    Check((flags & 8) == 0);  // sizes and CRC are in the header, not after the data
    Check(size == entry.data.size());
    Check(crc == crc32(0, entry.data.data(), static_cast<uInt>(entry.data.size())));
    const std::span<const uint8_t> data(archive.data() + dataStart, compressedSize);
    if (method == 0) {
      Check(std::equal(data.begin(), data.end(), entry.data.begin(), entry.data.end()));
    } else {
      Check(method == 8 && Inflate(data, size) == entry.data);
    }
    at = dataStart + compressedSize;
  }
  Check(Read32(archive, at) == 0x02014b50);  // the central directory follows the last entry
  for (const auto& file : fs::directory_iterator(scratch.path)) fs::remove(file.path());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> input(data, size);
  CheckDeflate(input);
  CheckZip(input);
  return 0;
}
