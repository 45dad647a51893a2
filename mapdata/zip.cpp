#include "mapdata/zip.h"

#include <array>
#include <exception>
#include <vector>

#include "mapdata/crc32.h"
#include "mapdata/deflate.h"
#include "mapdata/zip_format.h"
#include "mapdata/zip_io.h"

namespace kx {
namespace {

// Source bytes are read, and stored entries copied, in pieces of this size.
constexpr size_t kCopyBufferSize = 16384;

// Passes compressed bytes on to the archive, counting them; remembers a failed write and
// ignores everything after it.
class ArchiveSink final : public DeflateSink {
 public:
  explicit ArchiveSink(zip::ArchiveFile& file) : file_(file) {}

  void Put(std::span<const uint8_t> bytes) override {
    if (failed_) return;
    failed_ = !file_.Write(bytes);
    written_ += bytes.size();
  }
  [[nodiscard]] bool Failed() const { return failed_; }
  [[nodiscard]] uint64_t Written() const { return written_; }

 private:
  zip::ArchiveFile& file_;
  bool failed_ = false;
  uint64_t written_ = 0;
};

// An entry as the central directory repeats it.
struct ListedEntry {
  zip::EntryFields fields;
  uint32_t modifiedUnixTime;
  uint32_t externalAttributes;
  uint32_t localHeaderOffset;
};

// The compressor of this thread, kept between archives: its state (over a megabyte) is then reset
// for each entry instead of being allocated and zeroed for every archive a request writes.
Deflater& ThreadDeflater() {
  thread_local Deflater deflater;
  return deflater;
}

}  // namespace

struct TZip::Writer {
  zip::ArchiveFile file;
  uint64_t position = 0;  // bytes written so far: where the next record goes
  std::vector<ListedEntry> entries;
  std::array<uint8_t, kCopyBufferSize> buffer;

  [[nodiscard]] bool WriteRecord(const std::vector<uint8_t>& bytes) {
    if (!file.Write(bytes)) return false;
    position += bytes.size();
    return true;
  }

  struct Data {
    uint32_t crc = 0;
    uint64_t inputBytes = 0;
    uint64_t outputBytes = 0;
  };

  // Reads the whole source, deflating or copying it to the archive. Returns an error code.
  uint32_t WriteData(zip::SourceFile& source, uint16_t method, Data& data) {
    ArchiveSink sink(file);
    try {
      Deflater& deflater = ThreadDeflater();
      if (method == zip::kMethodDeflated) deflater.Reset(sink);
      for (;;) {
        const ptrdiff_t got = source.Read(buffer);
        if (got < 0) return kZipCannotOpen;
        if (got == 0) break;
        const std::span<const uint8_t> bytes(buffer.data(), size_t(got));
        data.crc = Crc32Update(data.crc, bytes);
        data.inputBytes += bytes.size();
        if (method == zip::kMethodDeflated) {
          deflater.Write(bytes);
        } else {
          sink.Put(bytes);
        }
        if (sink.Failed()) return kZipWriteFailed;
      }
      if (method == zip::kMethodDeflated) deflater.Finish();
    } catch (const std::exception&) {
      return kZipCompressorError;
    }
    if (sink.Failed()) return kZipWriteFailed;
    data.outputBytes = sink.Written();
    return kZipOk;
  }

  uint32_t AddEntry(std::string_view entryName, const std::filesystem::path& sourcePath) {
    zip::EntryFields fields;
    fields.name = zip::EntryName(entryName);
    if (fields.name.empty()) return kZipBadArgument;
    fields.method = zip::IsStoredName(fields.name) ? zip::kMethodStored : zip::kMethodDeflated;

    zip::SourceFile source;
    if (!source.Open(sourcePath)) return kZipCannotOpen;
    const zip::SourceInfo& info = source.Info();
    // The classic records hold 32-bit sizes and offsets and 16-bit entry counts.
    if (info.size > zip::kMaxField32 || position > zip::kMaxField32 ||
        entries.size() >= zip::kMaxEntries) {
      return kZipWriteFailed;
    }

    // The local header goes out first with provisional values and is rewritten once the data
    // is written and its CRC and sizes are known.
    const uint64_t headerOffset = position;
    fields.flags = zip::kFlagDataDescriptor;
    fields.modified = zip::ToDosDateTime(info.lastWrite);
    fields.compressedSize = fields.method == zip::kMethodStored ? uint32_t(info.size) : 0;
    fields.uncompressedSize = uint32_t(info.size);
    const zip::Timestamps times = {zip::UnixTime(info.lastWrite), zip::UnixTime(info.lastAccess),
                                   zip::UnixTime(info.creation)};
    std::vector<uint8_t> header;
    zip::AppendLocalHeader(header, fields, times);
    if (!WriteRecord(header)) return Undo(headerOffset, kZipWriteFailed);

    Data data;
    if (const uint32_t error = WriteData(source, fields.method, data); error != kZipOk) {
      return Undo(headerOffset, error);
    }
    position += data.outputBytes;
    if (data.inputBytes > zip::kMaxField32 || position > zip::kMaxField32) {
      return Undo(headerOffset, kZipWriteFailed);
    }

    fields.flags = fields.method == zip::kMethodDeflated ? zip::kFlagMaximumCompression : 0;
    fields.crc = data.crc;
    fields.compressedSize = uint32_t(data.outputBytes);
    fields.uncompressedSize = uint32_t(data.inputBytes);
    header.clear();
    zip::AppendLocalHeader(header, fields, times);
    if (!file.Seek(headerOffset) || !file.Write(header) || !file.Seek(position)) {
      return Undo(headerOffset, kZipWriteFailed);
    }
    entries.push_back({std::move(fields), times.modified,
                       zip::ExternalAttributes(info.dosAttributes), uint32_t(headerOffset)});
    return kZipOk;
  }

  // Forgets a failed entry: the next record overwrites what it left, and Close cuts off the
  // rest.
  uint32_t Undo(uint64_t headerOffset, uint32_t error) {
    position = headerOffset;
    (void)file.Seek(position);
    return error;
  }

  uint32_t Finish() {
    std::vector<uint8_t> directory;
    for (const ListedEntry& entry : entries) {
      zip::AppendCentralHeader(directory, entry.fields, entry.modifiedUnixTime,
                               entry.externalAttributes, entry.localHeaderOffset);
    }
    const uint64_t directoryOffset = position;
    zip::AppendEndRecord(directory, uint16_t(entries.size()), uint32_t(directory.size()),
                         uint32_t(directoryOffset));
    bool ok = WriteRecord(directory);
    ok = file.Truncate(position) && ok;
    ok = file.Close() && ok;
    return ok ? kZipOk : kZipWriteFailed;
  }
};

TZip::TZip() = default;
TZip::~TZip() = default;

uint32_t TZip::Create(const std::filesystem::path& archivePath) {
  writer_.reset();
  auto writer = std::make_unique<Writer>();
  if (archivePath.empty() || !writer->file.Create(archivePath)) return kZipCannotOpen;
  writer_ = std::move(writer);
  return kZipOk;
}

uint32_t TZip::Add(std::string_view entryName, const std::filesystem::path& sourcePath) {
  if (!writer_ || sourcePath.empty()) return kZipBadArgument;
  return writer_->AddEntry(entryName, sourcePath);
}

uint32_t TZip::Close() {
  if (!writer_) return kZipBadArgument;
  const uint32_t result = writer_->Finish();
  writer_.reset();
  return result;
}

}  // namespace kx
