// Bytes from the operating system's random source, for values that must not be guessable.
#pragma once

#include <span>

namespace kx::web::detail {

// Fills the buffer with random bytes; throws std::system_error when the source fails.
void FillRandom(std::span<unsigned char> buffer);

}  // namespace kx::web::detail
