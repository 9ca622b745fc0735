#pragma once

#include <functional>

namespace quorvale {

// Asked by long work whether to give up; an empty one never does. It only
// reads flags (the run's stop token), so it may be asked from any thread and
// from inside libjpeg, and it never throws.
using CancelCheck = std::function<bool()>;

}  // namespace quorvale
