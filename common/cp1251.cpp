#include "common/cp1251.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace kx {
namespace {

// Unicode code points of the bytes 0x80 to 0xFF. The unassigned byte 0x98 maps to U+0098, as
// Windows does, so that every byte survives a round trip.
constexpr std::array<char16_t, 128> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// The highest code point that has a windows-1251 byte (U+2122, the trade mark sign).
constexpr char32_t kLastMappedCodePoint = 0x2122;

// The windows-1251 byte of every code point from U+0000 to kLastMappedCodePoint, 0 where the code
// page has none (only U+0000 itself maps to byte 0). A flat table: pages are converted byte by
// byte on every request, and an index is several times faster than a hash look-up.
using ReverseTable = std::array<unsigned char, kLastMappedCodePoint + 1>;

const ReverseTable& Reverse() {
  static const ReverseTable table = [] {
    ReverseTable bytes{};
    for (unsigned i = 0; i < 0x80; ++i) bytes[i] = static_cast<unsigned char>(i);
    for (unsigned i = 0; i < kHighHalf.size(); ++i) {
      bytes[kHighHalf[i]] = static_cast<unsigned char>(0x80 + i);
    }
    return bytes;
  }();
  return table;
}

// The number of leading bytes below 0x80.
size_t AsciiRunLength(std::string_view text) {
  const auto it = std::find_if(text.begin(), text.end(),
                               [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  return static_cast<size_t>(it - text.begin());
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

size_t DecodeUtf8(std::string_view text, size_t pos, char32_t& cp) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  size_t length = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    const auto c = static_cast<unsigned char>(text[pos + i]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

std::optional<unsigned char> Cp1251ByteOf(char32_t cp) {
  if (cp > kLastMappedCodePoint) return std::nullopt;
  const unsigned char byte = Reverse()[cp];
  if (byte == 0 && cp != 0) return std::nullopt;
  return byte;
}

std::string Utf8FromCp1251(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      AppendUtf8(out, kHighHalf[c - 0x80]);
    }
  }
  return out;
}

std::string Cp1251FromUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    // Pages are mostly ASCII: copy each run of it in one step.
    const size_t run = AsciiRunLength(utf8.substr(pos));
    out.append(utf8.substr(pos, run));
    pos += run;
    if (pos == utf8.size()) break;
    char32_t cp = 0;
    const size_t length = DecodeUtf8(utf8, pos, cp);
    if (length == 0) {
      out += '?';
      ++pos;
      continue;
    }
    pos += length;
    out += static_cast<char>(Cp1251ByteOf(cp).value_or('?'));
  }
  return out;
}

unsigned char Cp1251ToUpper(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0) return static_cast<unsigned char>(c - 32);  // а..я -> А..Я
  switch (c) {
    case 0xB8:
      return 0xA8;  // ё
    case 0x90:
      return 0x80;  // ђ
    case 0x83:
      return 0x81;  // ѓ
    case 0x9A:
      return 0x8A;  // љ
    case 0x9C:
      return 0x8C;  // њ
    case 0x9D:
      return 0x8D;  // ќ
    case 0x9E:
      return 0x8E;  // ћ
    case 0x9F:
      return 0x8F;  // џ
    case 0xA2:
      return 0xA1;  // ў
    case 0xBC:
      return 0xA3;  // ј
    case 0xB4:
      return 0xA5;  // ґ
    case 0xBA:
      return 0xAA;  // є
    case 0xBF:
      return 0xAF;  // ї
    case 0xB3:
      return 0xB2;  // і
    case 0xBE:
      return 0xBD;  // ѕ
    default:
      return c;
  }
}

bool Cp1251EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Cp1251ToUpper(static_cast<unsigned char>(a[i])) !=
        Cp1251ToUpper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string Utf8ToUpper(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    char32_t cp = 0;
    const size_t length = std::max<size_t>(DecodeUtf8(utf8, pos, cp), 1);
    const std::string_view character = utf8.substr(pos, length);
    pos += length;
    if (length == 1) {  // ASCII, or a malformed byte that stays
      const auto c = static_cast<unsigned char>(character[0]);
      out += static_cast<char>(c < 0x80 ? Cp1251ToUpper(c) : c);
      continue;
    }
    const std::optional<unsigned char> byte = Cp1251ByteOf(cp);
    if (!byte) {
      out += character;
      continue;
    }
    AppendUtf8(out, kHighHalf[Cp1251ToUpper(*byte) - 0x80]);
  }
  return out;
}

std::string_view Utf8Prefix(std::string_view utf8, size_t count) {
  size_t pos = 0;
  for (; pos < utf8.size() && count > 0; --count) {
    char32_t cp = 0;
    pos += std::max<size_t>(DecodeUtf8(utf8, pos, cp), 1);
  }
  return utf8.substr(0, pos);
}

}  // namespace kx
