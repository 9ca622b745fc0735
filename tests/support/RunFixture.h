#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "batch/BatchRun.h"
#include "support/RecordingListener.h"
#include "support/Sandbox.h"

namespace quorvale::testing {

// The counts line that ends a run, after `wording` (finished or stopped).
inline std::string Summary(const char* wording, int saved, int errors, int skipped) {
  char text[256];
  std::snprintf(text, sizeof text, "%s保存ファイル数 %4d  エラー %4d   スキップ  %4d", wording,
                saved, errors, skipped);
  return text;
}

// A run from the sandbox's "in" folder into its "out" folder, reported to a
// scripted window.
class RunFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    // One photo after another, so that a cancel comes at a fixed point; the
    // decodes ahead have tests of their own.
    options.jobs = 1;
    options.inputFolder = box.Path("in") + "/";
    options.outputFolder = box.Path("out");
  }

  std::string In(const std::string& relative) const { return box.Path("in/" + relative); }
  std::string Out(const std::string& relative) const { return box.Path("out/" + relative); }

  // Runs with the per-photo options the window shows; each run has a
  // Cancel of its own, as the window's has.
  RunOutcome Run() {
    options.photo = window.photo;
    window.stop = std::stop_source();
    return RunBatch(options, window, window.stop.get_token());
  }

  Sandbox box;
  RecordingListener window;
  RunOptions options;
};

}  // namespace quorvale::testing
