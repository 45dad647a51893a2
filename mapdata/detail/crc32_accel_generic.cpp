// Processors without a carry-less multiply kernel use the table method alone.
#include "mapdata/detail/crc32_accel.h"

namespace kx::detail {

Crc32BlockKernel FindCrc32BlockKernel() {
  return nullptr;
}

}  // namespace kx::detail
