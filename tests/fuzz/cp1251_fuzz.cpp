// libFuzzer target for the windows-1251 codec: every byte string survives the trip through UTF-8,
// and any UTF-8 input, however malformed, converts to exactly one byte per character or bad byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/cp1251.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using kx::fuzz::Check;

// The input taken as windows-1251 bytes.
void CheckBytes(std::string_view bytes) {
  const std::string utf8 = kx::Utf8FromCp1251(bytes);
  Check(kx::Cp1251FromUtf8(utf8) == bytes);
  std::string upper(bytes);
  for (char& c : upper) c = static_cast<char>(kx::Cp1251ToUpper(static_cast<unsigned char>(c)));
  Check(kx::Cp1251EqualsIgnoreCase(bytes, upper));
  Check(kx::Utf8ToUpper(utf8) == kx::Utf8FromCp1251(upper));
}

// The input taken as UTF-8 text: walks it the way the converter does and checks each step.
void CheckUtf8(std::string_view text) {
  const std::string bytes = kx::Cp1251FromUtf8(text);
  size_t characters = 0;
  for (size_t pos = 0; pos < text.size(); ++characters) {
    char32_t cp = 0;
    const size_t length = kx::DecodeUtf8(text, pos, cp);
    Check(length <= 4 && pos + length <= text.size());
    Check(characters < bytes.size());
    const auto byte = static_cast<unsigned char>(bytes[characters]);
    if (length == 0) {
      Check(byte == '?');
      ++pos;
      continue;
    }
    // A decoded sequence is the shortest form of a scalar value: encoding it again gives it back.
    Check(cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF));
    std::string again;
    kx::AppendUtf8(again, cp);
    Check(again == text.substr(pos, length));
    const auto mapped = kx::Cp1251ByteOf(cp);
    Check(byte == mapped.value_or('?'));
    if (mapped) Check(kx::Utf8FromCp1251(std::string(1, static_cast<char>(*mapped))) == again);
    pos += length;
  }
  Check(characters == bytes.size());
  const std::string upper = kx::Utf8ToUpper(text);
  Check(upper.size() == text.size() && kx::Utf8ToUpper(upper) == upper);
  const size_t count = text.size() % 11;
  const std::string_view prefix = kx::Utf8Prefix(text, count);
  Check(text.starts_with(prefix));
  Check(kx::Cp1251FromUtf8(prefix).size() == std::min(count, bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckBytes(input);
  CheckUtf8(input);
  return 0;
}
