#include "web/reply_text.h"

namespace kx {

void ReplyText(RequestScope& scope, std::string_view text) {
  scope.exchange.response.contentType = "text/plain";
  scope.exchange.response.body = text;
}

}  // namespace kx
