#include <windows.h>
// bcrypt.h needs the types of windows.h first.
#include <bcrypt.h>

#include <algorithm>
#include <system_error>

#include "web/detail/random.h"

namespace kx::web::detail {

void FillRandom(std::span<unsigned char> buffer) {
  // BCryptGenRandom takes at most a ULONG at a time.
  constexpr size_t kLargestRequest = 1u << 30;
  while (!buffer.empty()) {
    const size_t size = std::min(buffer.size(), kLargestRequest);
    const NTSTATUS status = BCryptGenRandom(nullptr, buffer.data(), static_cast<ULONG>(size),
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (!BCRYPT_SUCCESS(status)) {
      throw std::system_error(static_cast<int>(status), std::system_category(),
                              "cannot read random bytes");
    }
    buffer = buffer.subspan(size);
  }
}

}  // namespace kx::web::detail
