// Processor-specific CRC-32 kernels, chosen once at run time. Each platform has its own source
// file; where none is available the table method of crc32.cpp does all the work.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kx::detail {

// Folds `size` bytes into the CRC register (the inverted running CRC, as the table method keeps
// it). `size` is a multiple of kCrc32BlockGranule and at least kCrc32BlockMinimum.
using Crc32BlockKernel = uint32_t (*)(uint32_t reg, const uint8_t* data, size_t size);

inline constexpr size_t kCrc32BlockGranule = 16;  // one 128-bit lane
inline constexpr size_t kCrc32BlockMinimum = 64;  // the four lanes folded in parallel

// The fastest kernel this processor supports, or nullptr.
[[nodiscard]] Crc32BlockKernel FindCrc32BlockKernel();

}  // namespace kx::detail
