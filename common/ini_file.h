// INI files in the Windows private-profile format, the store of the service's settings, accounts
// and vehicle list.
//
// Semantics: section and key names match without regard to letter case and the first match wins;
// values are trimmed and lose one pair of surrounding quotes; text values are cut to 2047
// characters; integers are decimal, or hexadecimal after "0x" or "$", and anything else reads as
// the default. The file holds windows-1251 bytes, or UTF-8 when it starts with a UTF-8 byte-order
// mark (as editors save it on request), and keeps its form when written; this interface speaks
// UTF-8 either way.
//
// Changes are made to the bytes in memory and keep every byte of the file that they do not touch;
// Save() then replaces the file atomically, so a reader (or a crash) sees the old file or the new
// one, never a mix. A caller that changes several keys saves once, and all changes land together.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kx {

// Longest text value a read returns.
inline constexpr size_t kIniMaxValueLength = 2047;

// Reads an integer the way the private-profile readers do: optional sign, then decimal digits or
// "0x"/"0X"/"$" and hexadecimal digits, nothing else. Hexadecimal values up to 0xFFFFFFFF wrap
// into the signed range. Empty, malformed or out-of-range text gives std::nullopt.
[[nodiscard]] std::optional<int> ParseIniInteger(std::string_view text);

class IniFile {
 public:
  IniFile() = default;

  // Parses file bytes (windows-1251, or UTF-8 after a byte-order mark).
  [[nodiscard]] static IniFile FromBytes(std::string bytes);
  // Reads the file; a missing file gives an empty one. Other read errors throw.
  [[nodiscard]] static IniFile Load(const std::filesystem::path& path);

  [[nodiscard]] std::string ReadString(std::string_view section, std::string_view key,
                                       std::string_view fallback) const;
  [[nodiscard]] int ReadInteger(std::string_view section, std::string_view key, int fallback) const;
  [[nodiscard]] bool SectionExists(std::string_view section) const;
  // True when the section exists and holds at least one key line (a bare header holds none).
  [[nodiscard]] bool SectionHasKeys(std::string_view section) const;
  [[nodiscard]] bool KeyExists(std::string_view section, std::string_view key) const;

  // Sets a value: the first matching key line is rewritten in place (its key spelling and line
  // end kept); a new key goes after the last non-blank line of the section; a new section goes
  // at the end of the file. Line breaks in the value become blanks.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  // Removes the first matching key line; nothing when absent.
  void EraseKey(std::string_view section, std::string_view key);
  // Removes the first matching section with all its lines; nothing when absent.
  void EraseSection(std::string_view section);

  [[nodiscard]] std::string Bytes() const;
  // Replaces the file atomically with Bytes() (see atomic_file.h). Throws on failure, leaving
  // the old file as it was.
  void Save(const std::filesystem::path& path) const;

 private:
  struct Line {
    std::string text;  // without its terminator
    std::string end;   // "\r\n", "\n", "\r" or empty for a last line without one
  };
  // One section: its header line, the line after its last line, and the line of the first
  // occurrence of each key, by upper-cased name.
  struct SectionSpan {
    size_t header;
    size_t end;
    std::unordered_map<std::string, size_t> keys;
  };

  // Text of the interface (UTF-8) in the file's form, and back; and the form that names are
  // compared in.
  [[nodiscard]] std::string FileText(std::string_view utf8) const;
  [[nodiscard]] std::string ProgramText(std::string_view fileText) const;
  [[nodiscard]] std::string UpperCase(std::string_view fileText) const;

  // The first section of that name, or nullptr. The span lives in the index, a cache that
  // changes keep in step, hence mutable.
  [[nodiscard]] SectionSpan* FindSection(std::string_view sectionText) const;
  [[nodiscard]] std::optional<size_t> FindKey(const SectionSpan& span,
                                              std::string_view keyText) const;
  void BuildIndex() const;
  [[nodiscard]] std::string_view NewLineEnd() const;
  // Keep the index in step with a key line inserted into, or erased from, a section; other
  // changes that move lines drop the index, to be rebuilt on the next lookup.
  void InsertKeyLine(SectionSpan& span, size_t at, Line line, std::string_view keyText);
  void EraseKeyLine(SectionSpan& span, size_t at);
  void ShiftIndex(const SectionSpan& changed, size_t from, int delta);
  void LinesMoved() { sectionIndex_.reset(); }

  bool utf8_ = false;  // the file is UTF-8 after a byte-order mark, else windows-1251
  std::vector<Line> lines_;
  // The first section of each name, by upper-cased name, so that lookups in files of thousands
  // of sections stay cheap. A cache of lines_, so also filled by const lookups.
  mutable std::optional<std::unordered_map<std::string, SectionSpan>> sectionIndex_;
};

}  // namespace kx
