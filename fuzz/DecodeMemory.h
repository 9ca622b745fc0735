#pragma once

#include <cstdint>
#include <span>

#include "imaging/Bitmap.h"

namespace quorvale::fuzzing {

// Decodes a JPEG file's bytes held in memory through the same path a photo
// file takes; true when the bitmap was decoded.
bool DecodeMemory(std::span<const std::uint8_t> bytes, Bitmap& bitmap);

}  // namespace quorvale::fuzzing
