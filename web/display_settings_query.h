// The query of the display-settings request: "tablewidth=..&tableheight=..&CarsListWidth=..
// &GoogleZoom=..&GoogleType=..", as the settings page sends it.
#pragma once

#include <string_view>

#include "registry/user_accounts.h"

namespace kx {

// Reads the five layout values from the raw query, taken as 8-bit (windows-1251) text. Blanks
// and "%20" are dropped and each "&" becomes a blank; the items are then read in the order above
// as "name=value" separated by blanks. Sizes are runs of non-blank characters, kept as sent up to
// the longest value Users.ini gives back (kIniMaxValueLength); zoom and type are integers in
// decimal, hexadecimal after "0x", or octal after a leading zero, with an optional sign (values
// beyond the int range are clamped). Reading stops at the first item that is not where it is
// expected; that item and those after it keep their defaults. Icons is not part of the request.
[[nodiscard]] TUserParams ReadDisplaySettingsQuery(std::string_view query);

}  // namespace kx
