#pragma once

#include <functional>

namespace quorvale {

// Asked by long work whether to give up. An empty one never cancels.
//  - A CancelPoll runs on the thread that drives the run and may handle
//    pending window events before it answers (the Cancel button is clicked
//    there).
//  - A CancelCheck may be asked from any thread, so it only reads flags;
//    it is asked from inside libjpeg, so it never throws.
using CancelPoll = std::function<bool()>;
using CancelCheck = std::function<bool()>;

}  // namespace quorvale
