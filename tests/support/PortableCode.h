#pragma once

#include "pixels/Bitmap.h"

namespace quorvale::testing {

// Keeps the code set up while it lives to what every processor runs (or,
// given false, to the widest vectors the processor has), and gives the
// default back however the test leaves.
struct PortableCode {
  explicit PortableCode(bool portable = true) { UsePortableCode(portable); }
  ~PortableCode() { UsePortableCode(false); }
  PortableCode(const PortableCode&) = delete;
  PortableCode& operator=(const PortableCode&) = delete;
};

}  // namespace quorvale::testing
