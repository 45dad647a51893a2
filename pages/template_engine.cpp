#include "pages/template_engine.h"

#include <optional>
#include <unordered_map>

#include "common/cp1251.h"
#include "common/main_thread_gate.h"
#include "pages/counters.h"
#include "pages/escape.h"
#include "pages/page_images.h"
#include "pages/page_tags.h"
#include "pages/template_lines.h"
#include "pages/vehicle_tree.h"

namespace kx {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// What one expansion works with: its inputs and the caller's values read at its start.
struct Expansion {
  const ServiceState& state;
  std::string_view sessionId;
  std::string_view errorText;
  bool checkBoxMode;
  std::string_view title;
  int rights = 0;
  std::string login{};
  std::optional<TUserParams> display{};  // none when the login has no display record
};

void ReadCaller(Expansion& x) {
  MainThreadSection gate;
  x.rights = x.state.sessions.SessionRights(x.sessionId);
  x.login = x.state.sessions.SessionLogin(x.sessionId);
  if (const TUserParams* params = x.state.userParams.UserParamsOf(x.login)) x.display = *params;
}

// Layout values of a login without a display record: the defaults a new account gets.
const TUserParams& DisplayOf(const Expansion& x) {
  static const TUserParams kDefaults;
  return x.display ? *x.display : kDefaults;
}

void ExpandInto(std::string& out, const Expansion& inputs, std::span<const std::string_view> lines);

void Nested(std::string& out, const Expansion& x, PageTemplate page) {
  ExpandInto(out, x, TemplateLines(page));
}

std::string VehicleTree(const Expansion& x) {
  MainThreadSection gate;
  const std::vector<std::string>* devices = x.state.sessions.SessionVehicles(x.sessionId);
  if (devices == nullptr) return {};
  std::vector<TreeRegistryEntry> registry;
  registry.reserve(x.state.vehicles.size());
  for (const VehicleList::Entry& entry : x.state.vehicles) {
    registry.push_back(
        {entry.key, entry.params.displayName, entry.params.groupName, entry.params.groupFileName});
  }
  const std::span<const std::string> groupFiles(x.state.groups.begin(), x.state.groups.end());
  return BuildVehicleTree(*devices, registry, groupFiles, x.checkBoxMode);
}

std::string UserList(const Expansion& x) {
  MainThreadSection gate;
  if (x.rights == kRightsModerator) {
    const std::vector<std::string>* managed = x.state.userParams.SubUsersOf(x.login);
    return managed == nullptr ? std::string() : LoginOptions(*managed);
  }
  if (x.rights != kRightsAdministrator) return {};
  std::vector<std::string> logins;
  for (const UserAccount& account : x.state.accounts.All()) logins.push_back(account.userName);
  return LoginOptions(logins);
}

using TagValue = void (*)(std::string& out, const Expansion& x);

const std::unordered_map<std::string_view, TagValue>& Tags() {
  static const std::unordered_map<std::string_view, TagValue> kTags = {
      {"[head]",
       [](std::string& out, const Expansion& x) { Nested(out, x, PageTemplate::InetXPageHeader); }},
      {"[counters]", [](std::string& out,
                        const Expansion& x) { Nested(out, x, PageTemplate::InetXPageCounters); }},
      {"[menu]",
       [](std::string& out, const Expansion& x) {
         if (x.login != kGuestLogin) Nested(out, x, PageTemplate::InetXPageMenu);
       }},
      {"[title]", [](std::string& out, const Expansion& x) { out += x.title; }},
      {"[admin]",
       [](std::string& out, const Expansion& x) {
         if (x.rights == kRightsModerator || x.rights == kRightsAdministrator) {
           out += AdminDropDown();
         }
       }},
      {"[login]", [](std::string& out, const Expansion& x) { AppendHtmlEscaped(out, x.login); }},
      {"[rightsDescr]",
       [](std::string& out, const Expansion& x) {
         out += " (" + RightsDescription(x.rights) + ")";
       }},
      {"[error]", [](std::string& out, const Expansion& x) { out += x.errorText; }},
      {"[tablewidth]", [](std::string& out,
                          const Expansion& x) { AppendHtmlEscaped(out, DisplayOf(x).tablewidth); }},
      {"[tableheight]",
       [](std::string& out, const Expansion& x) {
         AppendHtmlEscaped(out, DisplayOf(x).tableheight);
       }},
      {"[CarsListWidth]",
       [](std::string& out, const Expansion& x) {
         AppendHtmlEscaped(out, DisplayOf(x).CarsListWidth);
       }},
      {"[GoogleZoom]", [](std::string& out,
                          const Expansion& x) { out += std::to_string(DisplayOf(x).GoogleZoom); }},
      {"[GoogleType]", [](std::string& out,
                          const Expansion& x) { out += std::to_string(DisplayOf(x).GoogleType); }},
      {"[IconSettings]",
       [](std::string& out, const Expansion& x) { out += IconSettings(DisplayOf(x).Icons); }},
      {"[CarsOptionValue]", [](std::string& out, const Expansion& x) { out += VehicleTree(x); }},
      {"[UserAccess]",
       [](std::string& out, const Expansion& x) { out += RightsOptions(x.rights); }},
      {"[UserList]", [](std::string& out, const Expansion& x) { out += UserList(x); }},
      {"[GoogleCntr]", [](std::string& out,
                          const Expansion& x) { out += GoogleAnalyticsCounter(x.state.settings); }},
      {"[LICntr]",
       [](std::string& out, const Expansion& x) { out += LiveInternetCounter(x.state.settings); }},
      {"[HotLogCntr]",
       [](std::string& out, const Expansion& x) { out += HotLogCounter(x.state.settings); }},
      {"[headerIMG]",
       [](std::string& out, const Expansion& x) {
         out += PageImageBlock(x.state.File("img"), "headerIMG");
       }},
      {"[footerIMG]",
       [](std::string& out, const Expansion& x) {
         out += PageImageBlock(x.state.File("img"), "footerIMG");
       }},
      {"[logo]",
       [](std::string& out, const Expansion& x) { out += LogoImage(x.state.settings.LogoLink); }},
      {"[GoogleMapsKey]",
       [](std::string& out, const Expansion& x) {
         AppendHtmlEscaped(out, x.state.settings.GoogleMapsKey);
       }},
  };
  return kTags;
}

// A line that is exactly a known tag gives that tag's value; nothing is trimmed.
TagValue TagOfLine(std::string_view line) {
  if (line.empty() || line.front() != '[') return nullptr;
  const auto& tags = Tags();
  const auto found = tags.find(line);
  return found == tags.end() ? nullptr : found->second;
}

// Expands the lines with the inputs of `inputs`; the caller's values are read afresh, as every
// expansion (nested ones included) reads them at its start.
void ExpandInto(std::string& out, const Expansion& inputs,
                std::span<const std::string_view> lines) {
  Expansion x{inputs.state, inputs.sessionId, inputs.errorText, inputs.checkBoxMode, inputs.title};
  ReadCaller(x);
  for (const std::string_view line : lines) {
    if (const TagValue tag = TagOfLine(line)) {
      tag(out, x);
      continue;
    }
    out += line;
    out += kLineEnd;
  }
}

}  // namespace

std::string ExpandLines(const ServiceState& state, std::span<const std::string_view> lines,
                        std::string_view sessionId, std::string_view errorText, bool checkBoxMode,
                        std::string_view title) {
  std::string out;
  ExpandInto(out, Expansion{state, sessionId, errorText, checkBoxMode, title}, lines);
  return out;
}

std::string ExpandTemplate(const ServiceState& state, PageTemplate page, std::string_view sessionId,
                           std::string_view errorText, bool checkBoxMode, std::string_view title) {
  return Cp1251FromUtf8(
      ExpandLines(state, TemplateLines(page), sessionId, errorText, checkBoxMode, title));
}

}  // namespace kx
