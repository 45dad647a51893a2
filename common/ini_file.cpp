#include "common/ini_file.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>
#include <system_error>

#include "common/atomic_file.h"
#include "common/cp1251.h"
#include "common/utf8_path.h"

namespace kx {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view Unquote(std::string_view text) {
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

// The section name of a header line "[name]", or nullopt for other lines.
std::optional<std::string_view> SectionNameOf(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

// The key of a "key=value" line, or nullopt for lines without "=".
std::optional<std::string_view> KeyOf(std::string_view line) {
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(0, equals));
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<int> ParseIniInteger(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  unsigned base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.starts_with("$")) {
    base = 16;
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  const uint64_t limit = base == 16 ? 0xFFFFFFFFull : 0x80000000ull;
  uint64_t value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return std::nullopt;
    value = value * base + static_cast<unsigned>(digit);
    if (value > limit) return std::nullopt;
  }
  if (base == 10 && !negative && value > 0x7FFFFFFFull) return std::nullopt;
  // Hexadecimal text is a 32-bit pattern; decimal text is checked against the signed range above.
  const auto bits = static_cast<uint32_t>(value);
  const auto magnitude = static_cast<int64_t>(base == 16 ? static_cast<int32_t>(bits) : value);
  return static_cast<int>(negative ? -magnitude : magnitude);
}

IniFile IniFile::FromBytes(std::string bytes) {
  IniFile file;
  file.utf8_ = bytes.starts_with(kUtf8Mark);
  size_t start = file.utf8_ ? kUtf8Mark.size() : 0;
  while (start < bytes.size()) {
    const size_t stop = bytes.find_first_of("\r\n", start);
    if (stop == std::string::npos) {
      file.lines_.push_back({bytes.substr(start), ""});
      break;
    }
    const size_t endLength = bytes.compare(stop, 2, "\r\n") == 0 ? 2 : 1;
    file.lines_.push_back({bytes.substr(start, stop - start), bytes.substr(stop, endLength)});
    start = stop + endLength;
  }
  return file;
}

IniFile IniFile::Load(const std::filesystem::path& path) {
  std::error_code ec;
  const auto type = std::filesystem::status(path, ec).type();
  if (type == std::filesystem::file_type::not_found) return IniFile();
  if (type == std::filesystem::file_type::directory) {
    throw std::system_error(EISDIR, std::generic_category(), "cannot read " + Utf8FromPath(path));
  }
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.is_open() || in.bad()) {
    throw std::system_error(errno, std::generic_category(), "cannot read " + Utf8FromPath(path));
  }
  return FromBytes(std::move(bytes));
}

std::string IniFile::FileText(std::string_view utf8) const {
  return utf8_ ? std::string(utf8) : Cp1251FromUtf8(utf8);
}

std::string IniFile::ProgramText(std::string_view fileText) const {
  return utf8_ ? std::string(fileText) : Utf8FromCp1251(fileText);
}

std::string IniFile::UpperCase(std::string_view fileText) const {
  if (utf8_) return Utf8ToUpper(fileText);
  std::string upper(fileText);
  for (char& c : upper) c = static_cast<char>(Cp1251ToUpper(static_cast<unsigned char>(c)));
  return upper;
}

void IniFile::BuildIndex() const {
  sectionIndex_.emplace();
  SectionSpan* current = nullptr;  // null inside a repeated section, which lookups never reach
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (const auto name = SectionNameOf(lines_[i].text)) {
      if (current != nullptr) current->end = i;
      const auto [entry, added] =
          sectionIndex_->try_emplace(UpperCase(*name), SectionSpan{i, lines_.size(), {}});
      current = added ? &entry->second : nullptr;
    } else if (const auto key = KeyOf(lines_[i].text); key && current != nullptr) {
      current->keys.try_emplace(UpperCase(*key), i);
    }
  }
  if (current != nullptr) current->end = lines_.size();
}

IniFile::SectionSpan* IniFile::FindSection(std::string_view sectionText) const {
  if (!sectionIndex_) BuildIndex();
  const auto found = sectionIndex_->find(UpperCase(sectionText));
  return found == sectionIndex_->end() ? nullptr : &found->second;
}

std::optional<size_t> IniFile::FindKey(const SectionSpan& span, std::string_view keyText) const {
  const auto found = span.keys.find(UpperCase(keyText));
  if (found == span.keys.end()) return std::nullopt;
  return found->second;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  const auto span = FindSection(FileText(section));
  if (!span) return std::string(fallback);
  const auto line = FindKey(*span, FileText(key));
  if (!line) return std::string(fallback);
  const std::string_view text = lines_[*line].text;
  const std::string value = ProgramText(Unquote(Trim(text.substr(text.find('=') + 1))));
  return std::string(Utf8Prefix(value, kIniMaxValueLength));
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
  if (!KeyExists(section, key)) return fallback;
  return ParseIniInteger(ReadString(section, key, "")).value_or(fallback);
}

bool IniFile::SectionExists(std::string_view section) const {
  return FindSection(FileText(section)) != nullptr;
}

bool IniFile::SectionHasKeys(std::string_view section) const {
  const auto span = FindSection(FileText(section));
  return span && !span->keys.empty();
}

bool IniFile::KeyExists(std::string_view section, std::string_view key) const {
  const auto span = FindSection(FileText(section));
  return span && FindKey(*span, FileText(key)).has_value();
}

std::string_view IniFile::NewLineEnd() const {
  for (const Line& line : lines_) {
    if (!line.end.empty()) return line.end;
  }
  return "\r\n";
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  const std::string sectionText = FileText(section);
  const std::string keyText = FileText(key);
  std::string valueText = FileText(value);
  // A value is one line: a line break inside it would start new keys or sections.
  std::replace_if(
      valueText.begin(), valueText.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  const std::string end(NewLineEnd());
  const auto span = FindSection(sectionText);
  if (!span) {
    if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = end;
    LinesMoved();
    lines_.push_back({"[" + sectionText + "]", end});
    lines_.push_back({keyText + "=" + valueText, end});
    return;
  }
  if (const auto line = FindKey(*span, keyText)) {
    std::string& text = lines_[*line].text;
    text = text.substr(0, text.find('=') + 1) + valueText;
    return;
  }
  const size_t header = span->header;
  size_t insertAt = span->end;
  while (insertAt > header + 1 && Trim(lines_[insertAt - 1].text).empty()) --insertAt;
  if (lines_[insertAt - 1].end.empty()) lines_[insertAt - 1].end = end;
  InsertKeyLine(*span, insertAt, {keyText + "=" + valueText, end}, keyText);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::EraseKey(std::string_view section, std::string_view key) {
  const auto span = FindSection(FileText(section));
  if (!span) return;
  if (const auto line = FindKey(*span, FileText(key))) EraseKeyLine(*span, *line);
}

void IniFile::EraseSection(std::string_view section) {
  const auto span = FindSection(FileText(section));
  if (!span) return;
  const auto first = lines_.begin() + static_cast<ptrdiff_t>(span->header);
  const auto last = lines_.begin() + static_cast<ptrdiff_t>(span->end);
  LinesMoved();
  lines_.erase(first, last);
}

void IniFile::ShiftIndex(const SectionSpan& changed, size_t from, int delta) {
  for (auto& [name, span] : *sectionIndex_) {
    if (&span == &changed) {
      span.end += static_cast<size_t>(delta);
    } else if (span.header >= from) {
      span.header += static_cast<size_t>(delta);
      span.end += static_cast<size_t>(delta);
    }
    for (auto& [key, line] : span.keys) {
      if (line >= from) line += static_cast<size_t>(delta);
    }
  }
}

void IniFile::InsertKeyLine(SectionSpan& span, size_t at, Line line, std::string_view keyText) {
  lines_.insert(lines_.begin() + static_cast<ptrdiff_t>(at), std::move(line));
  ShiftIndex(span, at, +1);
  span.keys.try_emplace(UpperCase(keyText), at);
}

void IniFile::EraseKeyLine(SectionSpan& span, size_t at) {
  const std::string key = UpperCase(*KeyOf(lines_[at].text));
  lines_.erase(lines_.begin() + static_cast<ptrdiff_t>(at));
  span.keys.erase(key);
  ShiftIndex(span, at + 1, -1);
  // A later line with the same key becomes the first match.
  for (size_t i = span.header + 1; i < span.end; ++i) {
    const auto other = KeyOf(lines_[i].text);
    if (other && UpperCase(*other) == key) {
      span.keys.emplace(key, i);
      break;
    }
  }
}

std::string IniFile::Bytes() const {
  std::string bytes(utf8_ ? kUtf8Mark : "");
  for (const Line& line : lines_) {
    bytes += line.text;
    bytes += line.end;
  }
  return bytes;
}

void IniFile::Save(const std::filesystem::path& path) const {
  ReplaceFileAtomically(path, Bytes());
}

}  // namespace kx
