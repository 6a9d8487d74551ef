// The floor of a scan: the same RGB pixels encoded by libjpeg-turbo into memory with the
// settings the virtual scanner uses (quality 90, the resolution as density), no file, no
// rendering.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

// The size of the JPEG made from `rgb` (top-down rows of width * 3 bytes).
size_t encodeInMemory(const std::vector<uint8_t>& rgb, int width, int height, int dpi);

}  // namespace bench
