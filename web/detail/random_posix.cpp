#include "web/detail/random.h"

#include <sys/random.h>

#include <cerrno>
#include <system_error>

namespace kx::web::detail {

void FillRandom(std::span<unsigned char> buffer) {
  while (!buffer.empty()) {
    const ssize_t got = ::getrandom(buffer.data(), buffer.size(), 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category(), "cannot read random bytes");
    }
    buffer = buffer.subspan(static_cast<size_t>(got));
  }
}

}  // namespace kx::web::detail
