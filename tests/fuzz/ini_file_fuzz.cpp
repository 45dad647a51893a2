// libFuzzer target for the INI parser and editor: an untouched file must come back byte for
// byte, and a written value must read back from any file, however malformed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/cp1251.h"
#include "common/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  kx::IniFile ini = kx::IniFile::FromBytes(bytes);
  if (ini.Bytes() != bytes) std::abort();
  (void)ini.ReadInteger("main", "UsersCount", 0);
  const std::string section = bytes.substr(0, bytes.size() % 7);
  const std::string key = "k" + bytes.substr(0, bytes.size() % 5);
  // Names that hold "]" or "=", or that lose blanks when read back, cannot be written as they
  // stand; skip them.
  if (section.find_first_of("[]\r\n \t") != std::string::npos) return 0;
  if (key.find_first_of("=[]\r\n \t") != std::string::npos) return 0;
  const std::string sectionUtf8 = kx::Utf8FromCp1251(section);
  const std::string keyUtf8 = kx::Utf8FromCp1251(key);
  ini.WriteString(sectionUtf8, keyUtf8, "value");
  if (ini.ReadString(sectionUtf8, keyUtf8, "") != "value") std::abort();
  ini.EraseKey(sectionUtf8, keyUtf8);
  ini.EraseSection(sectionUtf8);
  (void)ini.Bytes();
  return 0;
}
