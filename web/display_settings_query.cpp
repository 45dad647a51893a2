#include "web/display_settings_query.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <variant>

#include "common/cp1251.h"
#include "common/ini_file.h"

namespace kx {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Replaces every occurrence, left to right; replaced text is not searched again.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  size_t start = 0;
  for (size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, start)) {
    result.append(text.substr(start, at - start)).append(to);
    start = at + from.size();
  }
  return result.append(text.substr(start));
}

// Browsers and hand-typed addresses put blanks into the values in two forms; neither belongs to
// a size, and "&" becomes the blank that separates the items.
std::string ItemsOf(std::string_view query) {
  std::string text = ReplaceAll(ReplaceAll(query, " ", ""), "%20", "");
  for (char& c : text) {
    if (c == '&') c = ' ';
  }
  return text;
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::numeric_limits<int>::max();
}

// Reads "name=value" items the way the C library's formatted input does: a blank in the
// directives skips any run of blanks (none included), other characters must match exactly, and
// each conversion skips leading blanks first.
class ItemScanner {
 public:
  explicit ItemScanner(std::string_view text) : rest_(text) {}

  [[nodiscard]] bool Directives(std::string_view directives) {
    for (char c : directives) {
      if (IsBlank(c)) {
        SkipBlanks();
      } else if (rest_.empty() || rest_.front() != c) {
        return false;
      } else {
        rest_.remove_prefix(1);
      }
    }
    return true;
  }

  // A run of non-blank characters, cut to what a read of Users.ini gives back.
  [[nodiscard]] bool Convert(std::string& target) {
    SkipBlanks();
    size_t length = 0;
    while (length < rest_.size() && !IsBlank(rest_[length])) ++length;
    if (length == 0) return false;
    target = Utf8FromCp1251(rest_.substr(0, std::min(length, kIniMaxValueLength)));
    rest_.remove_prefix(length);
    return true;
  }

  // An integer with optional sign, in the base its prefix chooses: "0x" hexadecimal (when a
  // hexadecimal digit follows), a leading "0" octal, otherwise decimal.
  [[nodiscard]] bool Convert(int& target) {
    SkipBlanks();
    bool negative = false;
    if (!rest_.empty() && (rest_.front() == '+' || rest_.front() == '-')) {
      negative = rest_.front() == '-';
      rest_.remove_prefix(1);
    }
    int base = 10;
    if (rest_.size() > 2 && rest_[0] == '0' && (rest_[1] == 'x' || rest_[1] == 'X') &&
        DigitValue(rest_[2]) < 16) {
      base = 16;
      rest_.remove_prefix(2);
    } else if (!rest_.empty() && rest_.front() == '0') {
      base = 8;
    }
    const std::optional<int64_t> magnitude = Digits(base);
    if (!magnitude) return false;
    const int64_t value = negative ? -*magnitude : *magnitude;
    target = static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
    return true;
  }

 private:
  void SkipBlanks() {
    while (!rest_.empty() && IsBlank(rest_.front())) rest_.remove_prefix(1);
  }

  // The digits of the base at the front, their value saturated just beyond the int range.
  std::optional<int64_t> Digits(int base) {
    constexpr int64_t kSaturated = int64_t{std::numeric_limits<int>::max()} + 2;
    size_t count = 0;
    int64_t value = 0;
    while (count < rest_.size() && DigitValue(rest_[count]) < base) {
      value = std::min(value * base + DigitValue(rest_[count]), kSaturated);
      ++count;
    }
    if (count == 0) return std::nullopt;
    rest_.remove_prefix(count);
    return value;
  }

  std::string_view rest_;
};

struct Item {
  std::string_view directives;  // what precedes the value: the separating blank and "name="
  std::variant<std::string*, int*> target;
};

}  // namespace

TUserParams ReadDisplaySettingsQuery(std::string_view query) {
  TUserParams settings;
  const std::array<Item, 5> items = {{
      {"tablewidth=", &settings.tablewidth},
      {" tableheight=", &settings.tableheight},
      {" CarsListWidth=", &settings.CarsListWidth},
      {" GoogleZoom=", &settings.GoogleZoom},
      {" GoogleType=", &settings.GoogleType},
  }};
  const std::string text = ItemsOf(query);
  ItemScanner scanner(text);
  for (const Item& item : items) {
    const bool read =
        scanner.Directives(item.directives) &&
        std::visit([&](auto* target) { return scanner.Convert(*target); }, item.target);
    if (!read) break;
  }
  return settings;
}

}  // namespace kx
