#include "mapdata/deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

namespace kx {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

// Inflates a raw deflate stream with zlib; fails the test unless the stream ends exactly at the
// end of the data.
Bytes Inflate(const Bytes& compressed) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
  Bytes out;
  uint8_t buffer[65536];
  z.next_in = const_cast<Bytef*>(compressed.data());
  z.avail_in = uInt(compressed.size());
  int status = Z_OK;
  while (status == Z_OK) {
    z.next_out = buffer;
    z.avail_out = sizeof buffer;
    status = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
  }
  EXPECT_EQ(status, Z_STREAM_END) << (z.msg ? z.msg : "");
  EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the stream";
  inflateEnd(&z);
  return out;
}

// The block types of a stream in order (0 stored, 1 fixed, 2 dynamic), found by letting zlib
// stop at each block boundary and reading the three header bits that follow.
std::vector<int> BlockTypes(const Bytes& compressed) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
  std::vector<int> types;
  Bytes sink(1 << 16);
  z.next_in = const_cast<Bytef*>(compressed.data());
  z.avail_in = uInt(compressed.size());
  size_t bitPosition = 0;  // of the next block header
  for (bool final = false; !final;) {
    const size_t byte = bitPosition / 8;
    const unsigned header =
        (compressed[byte] | (byte + 1 < compressed.size() ? compressed[byte + 1] << 8 : 0)) >>
        (bitPosition % 8);
    final = header & 1;
    types.push_back(int((header >> 1) & 3));
    int status;
    do {  // decode up to the end of this block
      z.next_out = sink.data();
      z.avail_out = uInt(sink.size());
      status = inflate(&z, Z_BLOCK);
    } while (status == Z_OK && !(z.data_type & 128));
    if (status != Z_OK && status != Z_STREAM_END) {
      ADD_FAILURE() << "inflate: " << status;
      break;
    }
    bitPosition = (compressed.size() - z.avail_in) * 8 - (z.data_type & 7);
  }
  EXPECT_EQ(z.avail_in, 0u);
  inflateEnd(&z);
  return types;
}

class PieceSink final : public DeflateSink {
 public:
  void Put(std::span<const uint8_t> bytes) override {
    largestPiece = std::max(largestPiece, bytes.size());
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  Bytes out;
  size_t largestPiece = 0;
};

Bytes RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = uint8_t(random());
  return bytes;
}

// Placemarks of a vehicle track, as the service writes them: much repetition, varying numbers.
Bytes TrackKml(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml><Document>\n";
  for (int i = 0; text.size() < size; ++i) {
    text += "<Placemark><name>" + std::to_string(i) +
            "</name><description><![CDATA[Speed: " + std::to_string(random() % 120) +
            " km/h<br/>Course: " + std::to_string(random() % 360) +
            "]]></description><Point><coordinates>37." + std::to_string(600000 + random() % 5000) +
            ",55." + std::to_string(750000 + random() % 5000) + ",0</coordinates></Point>" +
            "</Placemark>\n";
  }
  text.resize(size);
  return ToBytes(text);
}

TEST(Deflate, EmptyInputIsOneEmptyFinalBlock) {
  const Bytes compressed = DeflateBuffer({});
  EXPECT_EQ(compressed, (Bytes{0x03, 0x00}));
  EXPECT_TRUE(Inflate(compressed).empty());
}

TEST(Deflate, RoundTripsSmallInputs) {
  for (const std::string_view text :
       {"a", "ab", "abc", "aaaa", "hello, hello, hello world", "123456789",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml><Document></Document></kml>\n"}) {
    EXPECT_EQ(Inflate(DeflateBuffer(ToBytes(text))), ToBytes(text)) << text;
  }
  for (int byte = 0; byte < 256; ++byte) {
    const Bytes one = {uint8_t(byte)};
    ASSERT_EQ(Inflate(DeflateBuffer(one)), one);
  }
}

TEST(Deflate, RoundTripsLargeTrackAcrossManyRounds) {
  const Bytes input = TrackKml(5 << 20, 1);
  const Bytes compressed = DeflateBuffer(input);
  EXPECT_EQ(Inflate(compressed), input);
  EXPECT_LT(compressed.size(), input.size() / 4);
  const std::vector<int> types = BlockTypes(compressed);
  EXPECT_GT(types.size(), 1u);
  for (const int type : types) EXPECT_EQ(type, 2);
}

TEST(Deflate, IncompressibleInputIsStored) {
  const Bytes input = RandomBytes(1 << 20, 2);
  const Bytes compressed = DeflateBuffer(input);
  EXPECT_EQ(Inflate(compressed), input);
  // Five bytes of header per stored block of at most 65535 bytes, and a little slack for the
  // block boundaries the splitter chose.
  EXPECT_LE(compressed.size(), input.size() + 5 * (input.size() / 65535 + 1) + 64);
  for (const int type : BlockTypes(compressed)) EXPECT_EQ(type, 0);
}

TEST(Deflate, HighlyRepetitiveInputShrinksToAlmostNothing) {
  const Bytes zeros(3 << 20, 0);
  const Bytes zerosCompressed = DeflateBuffer(zeros);
  EXPECT_EQ(Inflate(zerosCompressed), zeros);
  EXPECT_LT(zerosCompressed.size(), zeros.size() / 1000);

  std::string pattern;
  while (pattern.size() < (2 << 20)) pattern += "37.617300,55.755810,0\n";
  const Bytes lines = ToBytes(pattern);
  const Bytes linesCompressed = DeflateBuffer(lines);
  EXPECT_EQ(Inflate(linesCompressed), lines);
  EXPECT_LT(linesCompressed.size(), lines.size() / 300);
}

TEST(Deflate, ShortInputUsesTheFixedCodes) {
  const Bytes input = ToBytes("hello, hello, hello world");
  EXPECT_EQ(BlockTypes(DeflateBuffer(input)), std::vector<int>{1});
}

TEST(Deflate, MixedInputGetsBlocksOfEachKind) {
  Bytes input = TrackKml(300000, 3);
  const Bytes noise = RandomBytes(300000, 4);
  input.insert(input.end(), noise.begin(), noise.end());
  const Bytes more = TrackKml(300000, 5);
  input.insert(input.end(), more.begin(), more.end());
  const Bytes compressed = DeflateBuffer(input);
  EXPECT_EQ(Inflate(compressed), input);
  const std::vector<int> types = BlockTypes(compressed);
  EXPECT_EQ(types.front(), 2);
  EXPECT_NE(std::find(types.begin(), types.end(), 0), types.end());
  EXPECT_EQ(types.back(), 2);
}

// Repeats at the largest distances and lengths the format allows, and just beyond them.
TEST(Deflate, RoundTripsMatchesAtTheLimits) {
  const Bytes block = RandomBytes(40000, 6);
  for (const size_t distance : {32766u, 32767u, 32768u, 32769u}) {
    Bytes input(block.begin(), block.begin() + std::ptrdiff_t(distance));
    input.insert(input.end(), block.begin(), block.begin() + 1000);
    ASSERT_EQ(Inflate(DeflateBuffer(input)), input) << distance;
  }
  for (const size_t length : {3u, 4u, 257u, 258u, 259u, 516u, 517u}) {
    Bytes input = RandomBytes(100, 7);
    input.insert(input.end(), input.begin(), input.begin() + 50);
    const Bytes run(length, 'x');
    input.insert(input.end(), run.begin(), run.end());
    ASSERT_EQ(Inflate(DeflateBuffer(input)), input) << length;
  }
}

// The output depends on the input only, not on how it is handed in, and the sink receives it in
// pieces of at most 16384 bytes.
TEST(Deflate, OutputDoesNotDependOnHowInputIsSplit) {
  const Bytes input = TrackKml(1500000, 8);
  const Bytes whole = DeflateBuffer(input);
  std::mt19937 random(9);
  Deflater deflater;
  for (const size_t maxPiece : {1u, 7u, 4096u, 100000u}) {
    PieceSink sink;
    deflater.Reset(sink);
    for (size_t offset = 0; offset < input.size();) {
      const size_t piece = std::min(input.size() - offset, 1 + random() % maxPiece);
      deflater.Write({input.data() + offset, piece});
      offset += piece;
    }
    deflater.Finish();
    EXPECT_EQ(sink.out, whole) << maxPiece;
    EXPECT_LE(sink.largestPiece, 16384u);
  }
}

// A reused compressor forgets everything of earlier streams: small ones (whose tables are
// cleared selectively) and large ones (after the window has moved) alike.
TEST(Deflate, ReusedCompressorMatchesAFreshOne) {
  const Bytes tiny = TrackKml(1000, 10);
  const Bytes small = TrackKml(3000, 11);
  const Bytes other = TrackKml(3000, 12);
  const Bytes large = TrackKml(2 << 20, 13);
  Deflater deflater;
  for (const Bytes* input : {&tiny, &small, &tiny, &other, &small, &large, &tiny, &large, &tiny}) {
    PieceSink sink;
    deflater.Reset(sink);
    deflater.Write(*input);
    deflater.Finish();
    EXPECT_EQ(sink.out, DeflateBuffer(*input));
  }
}

// Every stream and every slide of the window moves the match finder's position base forward,
// by a window's length at least per stream. About 16270 short streams bring it to its limit:
// 16250 leave the large stream's slides to cross it, 16300 more make a stream start cross it.
TEST(Deflate, LongLivedCompressorStaysCorrect) {
  const Bytes tiny = TrackKml(200, 14);
  const Bytes large = TrackKml(3 << 20, 15);
  const Bytes tinyExpected = DeflateBuffer(tiny);
  const Bytes largeExpected = DeflateBuffer(large);
  Deflater deflater;
  for (const int streams : {16250, 16300}) {
    for (int stream = 0; stream < streams; ++stream) {
      PieceSink sink;
      deflater.Reset(sink);
      deflater.Write(tiny);
      deflater.Finish();
      ASSERT_EQ(sink.out, tinyExpected) << stream;
    }
    PieceSink sink;
    deflater.Reset(sink);
    deflater.Write(large);
    deflater.Finish();
    EXPECT_EQ(sink.out, largeExpected);
  }
}

}  // namespace
}  // namespace kx
