// libFuzzer target for the INI parser and editor: an untouched file comes back byte for byte; a
// write changes the bytes of one line only (or adds lines), and the written file reads back the
// value written and the same value for every other key that was readable before.
//
// Input: the file bytes, then optionally a NUL and "section NUL key NUL value" to write. An empty
// section or key part picks one of the file's own names by the first input byte, so that values
// are rewritten in place as often as new keys are added.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/cp1251.h"
#include "common/ini_file.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using kx::fuzz::Check;

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr size_t kMaxNames = 64;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Section and key names as the file spells them, from a plain reading of its lines.
struct Names {
  std::vector<std::pair<std::string, std::string>> keys;  // (section, key)
  std::vector<std::string> sections;
};

Names NamesOf(std::string_view bytes) {
  Names names;
  std::string section;
  bool inSection = false;
  size_t start = 0;
  while (start < bytes.size() && names.keys.size() < kMaxNames) {
    size_t stop = bytes.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) stop = bytes.size();
    const std::string_view line = Trim(bytes.substr(start, stop - start));
    start = stop + 1;
    const size_t close = line.find(']');
    if (line.starts_with('[') && close != std::string_view::npos) {
      section = std::string(Trim(line.substr(1, close - 1)));
      names.sections.push_back(section);
      inSection = true;
    } else if (const size_t equals = line.find('=');
               equals != std::string_view::npos && inSection) {
      names.keys.emplace_back(section, std::string(Trim(line.substr(0, equals))));
    }
  }
  return names;
}

// Upper-case as the file compares names.
std::string Upper(std::string_view fileText, bool utf8) {
  if (utf8) return kx::Utf8ToUpper(fileText);
  std::string upper(fileText);
  for (char& c : upper) c = static_cast<char>(kx::Cp1251ToUpper(static_cast<unsigned char>(c)));
  return upper;
}

// The read-back form of a value written as these file bytes.
std::string ReadBack(std::string value, bool utf8) {
  for (char& c : value) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  std::string_view text = Trim(value);
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    text = text.substr(1, text.size() - 2);
  }
  const std::string program = utf8 ? std::string(text) : kx::Utf8FromCp1251(text);
  return std::string(kx::Utf8Prefix(program, kx::kIniMaxValueLength));
}

std::vector<std::string> Parts(std::string_view tail) {
  std::vector<std::string> parts;
  while (parts.size() < 2) {
    const size_t nul = tail.find('\0');
    if (nul == std::string_view::npos) break;
    parts.emplace_back(tail.substr(0, nul));
    tail.remove_prefix(nul + 1);
  }
  parts.emplace_back(tail);
  parts.resize(3);
  return parts;
}

// Whether a name can be written so that it reads back as itself.
bool WritableSection(std::string_view name) {
  return name.find_first_of("]\r\n") == std::string_view::npos && Trim(name) == name;
}

bool WritableKey(std::string_view name) {
  return name.find_first_of("=\r\n") == std::string_view::npos && Trim(name) == name &&
         !name.starts_with('[');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  const std::string bytes(input.substr(0, split));
  const kx::IniFile ini = kx::IniFile::FromBytes(bytes);
  Check(ini.Bytes() == bytes);
  if (split == std::string_view::npos) return 0;

  const bool utf8 = bytes.starts_with(kUtf8Mark);
  // File text to the interface's UTF-8, which converts back to exactly these bytes.
  const auto program = [utf8](std::string_view text) {
    return utf8 ? std::string(text) : kx::Utf8FromCp1251(text);
  };
  const Names names = NamesOf(std::string_view(bytes).substr(utf8 ? kUtf8Mark.size() : 0));
  std::vector<std::string> parts = Parts(input.substr(split + 1));
  const size_t pick = size == 0 ? 0 : static_cast<unsigned char>(input[0]);
  if (parts[0].empty() && !names.sections.empty()) {
    parts[0] = names.sections[pick % names.sections.size()];
  }
  if (parts[1].empty() && !names.keys.empty()) {
    const auto& [section, key] = names.keys[pick % names.keys.size()];
    parts[0] = section;
    parts[1] = key;
  }
  const auto& [section, key, value] = std::tie(parts[0], parts[1], parts[2]);
  if (!WritableSection(section) || !WritableKey(key)) return 0;

  std::vector<std::string> before;
  for (const auto& [s, k] : names.keys)
    before.push_back(ini.ReadString(program(s), program(k), "\x01"));

  kx::IniFile edited = kx::IniFile::FromBytes(bytes);
  edited.WriteString(program(section), program(key), program(value));
  const std::string after = edited.Bytes();

  // The bytes that went are inside one line: every other byte of the file is where it was.
  size_t prefix = 0;
  while (prefix < bytes.size() && prefix < after.size() && bytes[prefix] == after[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < bytes.size() - prefix && suffix < after.size() - prefix &&
         bytes[bytes.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
    ++suffix;
  }
  const std::string_view removed =
      std::string_view(bytes).substr(prefix, bytes.size() - prefix - suffix);
  Check(removed.find_first_of("\r\n") == std::string_view::npos);

  const kx::IniFile reread = kx::IniFile::FromBytes(after);
  Check(reread.ReadString(program(section), program(key), "\x01") == ReadBack(value, utf8));
  const std::string writtenSection = Upper(section, utf8);
  const std::string writtenKey = Upper(key, utf8);
  for (size_t i = 0; i < names.keys.size(); ++i) {
    const auto& [s, k] = names.keys[i];
    if (Upper(s, utf8) == writtenSection && Upper(k, utf8) == writtenKey) continue;
    Check(reread.ReadString(program(s), program(k), "\x01") == before[i]);
  }
  for (const std::string& s : names.sections) Check(reread.SectionExists(program(s)));
  return 0;
}
