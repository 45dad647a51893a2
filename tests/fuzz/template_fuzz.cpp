// libFuzzer target for the page templates with hostile names: logins, display settings, managed
// users, vehicle, group and group file names taken from the input are expanded into a page for a
// kind of session, both chosen by the input's first byte (one page per input keeps the target
// fast enough to explore). Each name starts with a marker that no page holds, so finding the
// name's text up to its first quote, "<" or ">" in a page means it stands there unescaped and
// could leave its attribute or script string. Vehicle and group names, which stand in script
// strings, must not keep their line breaks or backslashes either.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/cp1251.h"
#include "pages/page_template.h"
#include "pages/template_engine.h"
#include "registry/service_state.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using kx::fuzz::Check;

constexpr size_t kMarkerSize = 4;
constexpr size_t kNames = 9;

// The hostile names: the input split at NUL bytes, each behind a marker of its own.
std::array<std::string, kNames> NamesOf(std::string_view input) {
  std::array<std::string, kNames> names;
  for (size_t i = 0; i < kNames; ++i) {
    const size_t nul = input.find('\0');
    names[i] =
        "Zq" + std::string(1, static_cast<char>('A' + i)) + "q" + std::string(input.substr(0, nul));
    input = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
  }
  return names;
}

// The shortest start of the name that must never appear in a page, or "" when it holds nothing
// that could break out of its context.
std::string UnsafeStart(std::string_view name, bool script) {
  const std::string_view breaking = script ? "\"'<>\r\n" : "\"'<>";
  for (size_t i = kMarkerSize; i < name.size(); ++i) {
    if (breaking.find(name[i]) != std::string_view::npos) return std::string(name.substr(0, i + 1));
    // In a script string a backslash is escaped to one that starts "\x" or "\u": what follows
    // it decides. In HTML it is an ordinary character.
    if (script && name[i] == '\\' && i + 1 < name.size() && name[i + 1] != 'x' &&
        name[i + 1] != 'u') {
      return std::string(name.substr(0, i + 2));
    }
  }
  return {};
}

void CheckAbsent(const std::string& page, const std::array<std::string, kNames>& names,
                 const std::string& name, bool script) {
  const std::string start = UnsafeStart(name, script);
  if (start.empty()) return;
  // Another name holding this one's marker, or this name holding it again further on, could put
  // the start into the page by itself (the marker's second copy followed by a closing quote).
  const std::string marker = name.substr(0, kMarkerSize);
  if (name.find(marker, 1) != std::string::npos) return;
  for (const std::string& other : names) {
    if (&other != &name && other.find(marker) != std::string::npos) return;
  }
  const std::string bytes = kx::Cp1251FromUtf8(start);
  // A start with characters that the page's code page lacks cannot be found as it is.
  if (kx::Utf8FromCp1251(bytes) != start) return;
  Check(page.find(bytes) == std::string::npos);
}

constexpr std::array kPages = {
    kx::PageTemplate::InetXPageProducerLogin,
    kx::PageTemplate::InetXPageProducerMainKX,
    kx::PageTemplate::InetXPageMenu,
    kx::PageTemplate::InetXPageProducerCarList,
    kx::PageTemplate::InetXPageProducerDeleteUser,
    kx::PageTemplate::InetXPageProducerChangeUser,
    kx::PageTemplate::InetXPageProducerAdmin,
    kx::PageTemplate::InetXPageProducerAddUser,
    kx::PageTemplate::InetXPageProducerSettings,
    kx::PageTemplate::InetXPageProducerChangePass,
    kx::PageTemplate::InetXPageProducerMainSimple,
    kx::PageTemplate::InetXPageHeader,
    kx::PageTemplate::InetXPageCounters,
};

constexpr std::array kSessions = {"S-admin", "S-moder", "S-user", "none"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t choice = data[0];
  const auto n = NamesOf(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  kx::ServiceState state;
  const std::vector<std::string> devices = {"10", "20"};
  state.sessions.AddSession("S-admin", n[0], 2, devices);
  state.sessions.AddSession("S-moder", n[1], 1, devices);
  state.sessions.AddSession("S-user", n[2], 0, devices);
  const std::vector<std::string> managed = {n[2], n[3]};
  state.userParams.AddUserParams(n[0], n[4], n[5], n[6], 10, 0, &managed);
  state.userParams.AddUserParams(n[1], n[4], n[5], n[6], 10, 0, &managed);
  state.accounts.Add({n[0], "", 2, {}});
  state.accounts.Add({n[2], "", 0, devices});
  state.accounts.Add({n[3], "", 1, {}});
  state.vehicles.Append("10", {10, n[7] + " (10)", n[8], n[6]});
  state.vehicles.Append("20", {20, n[8] + " (20)", n[7], "b.grp"});
  state.groups.Append(n[6]);
  state.groups.Append("b.grp");
  const kx::PageTemplate page = kPages[choice % kPages.size()];
  const char* session = kSessions[choice / kPages.size() % kSessions.size()];
  const bool checkBoxMode = choice / (kPages.size() * kSessions.size()) % 2 == 1;
  const std::string out = kx::ExpandTemplate(state, page, session, "Ошибка", checkBoxMode, "T");
  for (const std::string& name : n) CheckAbsent(out, n, name, false);
  for (const size_t i : {7, 8}) CheckAbsent(out, n, n[i], true);
  return 0;
}
