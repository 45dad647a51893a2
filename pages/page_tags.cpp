#include "pages/page_tags.h"

#include "pages/escape.h"
#include "registry/user_accounts.h"

namespace kx {
namespace {

// Bit of the Icons value that holds icon j (1-based).
constexpr int IconBit(int j) {
  return j <= 5 ? j : j + 6;
}

constexpr std::string_view kModeratorOptions =
    "<option value='0' selected>Пользователь</option><option value='1'>Менеджер</option>";
constexpr std::string_view kAdministratorOptions =
    "<option value='0' selected>Пользователь</option><option value='1'>Менеджер</option>"
    "<option value='2'>Администратор</option>";

}  // namespace

std::string_view AdminDropDown() {
  return "<td><div><a href=\"#\">Администрирование</a>"
         "<table class=\"w3mh_b\" cellpadding=\"0\" cellspacing=\"0\">"
         "<tr><td><a href=\"/kxserver/NewUser\">Добавление пользователя</a></td></tr>"
         "<tr><td><a href=\"/kxserver/ChangeUser\">Изменение пользователя</a></td></tr>"
         "<tr><td><a href=\"/kxserver/DeleteUser\">Удаление пользователя</a></td></tr>"
         "</table></div></td>";
}

std::string IconSettings(int icons) {
  const auto bits = static_cast<unsigned>(icons);
  std::string out = "[";
  for (int j = 1; j <= kMapIconCount; ++j) {
    if (j > 1) out += ',';
    out += ((bits >> IconBit(j)) & 1U) != 0 ? '0' : '1';
  }
  out += "];";
  return out;
}

std::string LogoImage(std::string_view link) {
  constexpr std::string_view kImage =
      "<img src=\"/kxserver/img?kx_logo.png\" width=\"220\" height=\"81\" border=\"0\" alt=\"\" />";
  if (link.empty()) return std::string(kImage);
  std::string out = "<a href=\"";
  AppendHtmlEscaped(out, link);
  out += "\">";
  out += kImage;
  out += "</a>";
  return out;
}

std::string_view RightsOptions(int rights) {
  if (rights == kRightsModerator) return kModeratorOptions;
  if (rights == kRightsAdministrator) return kAdministratorOptions;
  return {};
}

std::string LoginOptions(const std::vector<std::string>& logins) {
  std::string out;
  for (const std::string& login : logins) {
    out += "<option value='";
    AppendHtmlEscaped(out, login);
    out += "'>";
    AppendHtmlEscaped(out, login);
    out += "</option>";
  }
  return out;
}

}  // namespace kx
