// The windows-1251 code page: the 8-bit text of the INI files, the pages, ZIP entry names and
// MD5 inputs. Inside the program text is UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

// Converts windows-1251 bytes to UTF-8. Every byte has a form, so all 256 bytes round-trip
// (0x98, unassigned in the code page, maps to U+0098).
[[nodiscard]] std::string Utf8FromCp1251(std::string_view bytes);

// Converts UTF-8 to windows-1251 bytes. A character without a windows-1251 form, and every byte
// of a malformed UTF-8 sequence, becomes "?".
[[nodiscard]] std::string Cp1251FromUtf8(std::string_view utf8);

// The windows-1251 byte of a Unicode character; nullopt when the code page has none.
[[nodiscard]] std::optional<unsigned char> Cp1251ByteOf(char32_t cp);

// Appends the UTF-8 form of a Unicode character.
void AppendUtf8(std::string& out, char32_t cp);

// Decodes the UTF-8 sequence that starts at text[pos] into cp; returns its length in bytes, 0
// when the sequence is malformed (cp is then undefined).
[[nodiscard]] size_t DecodeUtf8(std::string_view text, size_t pos, char32_t& cp);

// Upper-case of one windows-1251 byte for case-insensitive comparison (ASCII and Cyrillic).
[[nodiscard]] unsigned char Cp1251ToUpper(unsigned char c);

// Upper-case of UTF-8 text for case-insensitive comparison: the letters that windows-1251 has
// (ASCII and Cyrillic) are upper-cased, every other character and malformed byte stays as it is.
[[nodiscard]] std::string Utf8ToUpper(std::string_view utf8);

// The first `count` characters of UTF-8 text (a malformed byte counts as one).
[[nodiscard]] std::string_view Utf8Prefix(std::string_view utf8, size_t count);

// Case-insensitive equality of two windows-1251 byte strings.
[[nodiscard]] bool Cp1251EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace kx
