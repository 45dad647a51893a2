// Values of the tags that depend only on the caller's rights, display record or account lists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kx {

// Number of map icon kinds the main page shows.
inline constexpr int kMapIconCount = 13;

// The "Администрирование" drop-down of the menu bar (one table cell); for rights 1 and 2.
[[nodiscard]] std::string_view AdminDropDown();

// The icon flags of the main page as a JavaScript array followed by ";": one digit per icon kind,
// 0 when the icon's bit is set in `icons` and 1 when it is clear. Icons 1-5 use bits 1-5, icons
// 6-13 bits 12-19 (the layout of the track request's Icons value).
[[nodiscard]] std::string IconSettings(int icons);

// The sign-in page's logo image, inside a link to `link` unless that is empty.
[[nodiscard]] std::string LogoImage(std::string_view link);

// The options of the rights select: levels 0 and 1 for a moderator, 0 to 2 for an administrator,
// nothing for any other rights.
[[nodiscard]] std::string_view RightsOptions(int rights);

// One option per login, value and text the login.
[[nodiscard]] std::string LoginOptions(const std::vector<std::string>& logins);

}  // namespace kx
